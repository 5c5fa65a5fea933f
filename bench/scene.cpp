// A sky over rolling hills with a sun, clouds, a lake and a house. Each part is cheap to
// evaluate, and the noise is a hash of the position, so the scene needs no random state.
#include "bench/scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

struct TColour {
  float R, G, B;
};

constexpr float TwoPi = 2.0f * std::numbers::pi_v<float>;

TColour Mix(TColour A, TColour B, float T) {
  return {A.R + (B.R - A.R) * T, A.G + (B.G - A.G) * T, A.B + (B.B - A.B) * T};
}

float SmoothStep(float Edge0, float Edge1, float X) {
  const float T = std::clamp((X - Edge0) / (Edge1 - Edge0), 0.0f, 1.0f);
  return T * T * (3.0f - 2.0f * T);
}

uint32_t PositionHash(uint32_t X, uint32_t Y, uint32_t Channel) {
  uint32_t H = X * 0x9E3779B1u ^ Y * 0x85EBCA77u ^ Channel * 0xC2B2AE3Du;
  H ^= H >> 15;
  H *= 0x2C1B3C6Du;
  H ^= H >> 12;
  H *= 0x297A2D39u;
  return H ^ (H >> 15);
}

// Triangular noise in -1..1, the sum of two uniform halves of one hash.
float SensorNoise(uint32_t X, uint32_t Y, uint32_t Channel) {
  const uint32_t H = PositionHash(X, Y, Channel);
  return static_cast<float>((H & 0xFFFF) + (H >> 16)) / 65535.0f - 1.0f;
}

float HorizonAt(float U) {
  return 0.55f + 0.06f * std::sin(TwoPi * 1.5f * U) + 0.03f * std::sin(TwoPi * 4.2f * U + 1.0f);
}

TColour Sky(float U, float V, float Horizon) {
  TColour Colour = Mix({0.18f, 0.32f, 0.68f}, {0.86f, 0.80f, 0.74f}, V / Horizon);
  const float Cloud = SmoothStep(0.55f, 0.9f,
                                 0.5f + 0.3f * std::sin(TwoPi * (2.1f * U + 0.4f * V)) +
                                     0.2f * std::sin(TwoPi * 7.0f * V + 3.0f * U));
  Colour = Mix(Colour, {0.95f, 0.95f, 0.97f}, 0.7f * Cloud);
  const float SunDistance = std::hypot(U - 0.72f, V - 0.22f);
  if (SunDistance < 0.06f)
    return {1.0f, 0.96f, 0.82f};
  const float Glow = 0.3f * std::exp(-SunDistance * SunDistance / 0.02f);
  return Mix(Colour, {1.0f, 0.9f, 0.7f}, Glow);
}

bool InHouse(float U, float V) {
  return U > 0.18f && U < 0.34f && V > 0.58f && V < 0.72f;
}

TColour House(float U, float V) {
  const bool Window = std::fmod(U * 60.0f, 1.0f) < 0.45f && std::fmod(V * 45.0f, 1.0f) < 0.5f;
  return Window ? TColour{0.95f, 0.85f, 0.45f} : TColour{0.62f, 0.30f, 0.22f};
}

TColour Ground(float U, float V, float Horizon) {
  if (InHouse(U, V))
    return House(U, V);
  const float Lake = std::hypot((U - 0.68f) / 0.22f, (V - 0.8f) / 0.07f);
  if (Lake < 1.0f)
    return Mix({0.16f, 0.36f, 0.52f}, {0.55f, 0.68f, 0.80f}, 0.5f - 0.5f * Lake);
  const float Depth = (V - Horizon) / (1.0f - Horizon);
  const float Grass = 0.06f * std::sin(TwoPi * 60.0f * U + 3.0f * std::sin(TwoPi * 5.0f * V)) *
                      std::sin(TwoPi * 45.0f * V);
  const TColour Field = Mix({0.42f, 0.58f, 0.22f}, {0.22f, 0.30f, 0.10f}, Depth);
  return {Field.R + Grass, Field.G + Grass, Field.B + 0.5f * Grass};
}

// Opaque in a rounded middle, fading over a soft rim to clear at the corners.
float Coverage(float U, float V) {
  return 1.0f - SmoothStep(0.44f, 0.5f, std::hypot(U - 0.5f, V - 0.5f) * 0.85f);
}

uint16_t ToSample(float Value, float Noise) {
  return static_cast<uint16_t>(std::clamp(Value + Noise, 0.0f, 1.0f) * 65535.0f + 0.5f);
}

void RenderRow(TScene& Scene, uint32_t Y, const std::vector<float>& Horizons) {
  constexpr float NoiseLevel = 0.012f;
  const float V = static_cast<float>(Y) / static_cast<float>(Scene.Height);
  uint16_t* Out = Scene.Rgba.data() + size_t{Y} * Scene.Width * 4;
  for (uint32_t X = 0; X < Scene.Width; ++X, Out += 4) {
    const float U = static_cast<float>(X) / static_cast<float>(Scene.Width);
    const TColour C = V < Horizons[X] ? Sky(U, V, Horizons[X]) : Ground(U, V, Horizons[X]);
    Out[0] = ToSample(C.R, NoiseLevel * SensorNoise(X, Y, 0));
    Out[1] = ToSample(C.G, NoiseLevel * SensorNoise(X, Y, 1));
    Out[2] = ToSample(C.B, NoiseLevel * SensorNoise(X, Y, 2));
    Out[3] = ToSample(Coverage(U, V), 0.0f);
  }
}

} // namespace

TScene RenderScene(uint32_t Size) {
  TScene Scene{Size, Size, {}};
  Scene.Rgba.resize(size_t{Scene.Width} * Scene.Height * 4);
  std::vector<float> Horizons(Scene.Width);
  for (uint32_t X = 0; X < Scene.Width; ++X)
    Horizons[X] = HorizonAt(static_cast<float>(X) / static_cast<float>(Scene.Width));
  for (uint32_t Y = 0; Y < Scene.Height; ++Y)
    RenderRow(Scene, Y, Horizons);
  return Scene;
}

const TScene& BenchScene() {
  static const TScene Scene = RenderScene(SceneSize);
  return Scene;
}
