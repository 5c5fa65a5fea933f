// The picture every benchmark image is made from: a landscape-like scene of smooth gradients,
// hard edges, texture and sensor noise, so that it compresses like a photograph. It is computed,
// never loaded, and comes out the same on every run.
#pragma once

#include <cstdint>
#include <vector>

constexpr uint32_t SceneSize = 2048;

struct TScene {
  uint32_t Width = 0;
  uint32_t Height = 0;
  std::vector<uint16_t> Rgba; // 16-bit red, green, blue, alpha per pixel, top row first
};

// The scene at Size × Size pixels; its noise is per pixel at any size.
TScene RenderScene(uint32_t Size);
// At SceneSize, made on first use and kept.
const TScene& BenchScene();
