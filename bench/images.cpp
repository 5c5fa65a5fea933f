// Each format takes the scene the way a real file of that kind would: 8-bit samples are the
// scene's high bytes, grey is luma, the palette image a 3-3-2 cube, the bilevel image an error
// diffusion of the grey one.
#include "bench/images.h"

#include "bench/scene.h"

#include <algorithm>
#include <map>

namespace {

using TSamplePut = void (*)(const uint16_t* Rgba, uint8_t* Out);

uint8_t High(uint16_t Sample) {
  return static_cast<uint8_t>(Sample >> 8);
}

uint8_t Luma(const uint16_t* Rgba) {
  return static_cast<uint8_t>((77 * High(Rgba[0]) + 150 * High(Rgba[1]) + 29 * High(Rgba[2])) >> 8);
}

void PutRgb8(const uint16_t* Rgba, uint8_t* Out) {
  for (int c = 0; c < 3; ++c)
    Out[c] = High(Rgba[c]);
}

void PutRgba8(const uint16_t* Rgba, uint8_t* Out) {
  for (int c = 0; c < 4; ++c)
    Out[c] = High(Rgba[c]);
}

void PutGrey8(const uint16_t* Rgba, uint8_t* Out) {
  Out[0] = Luma(Rgba);
}

void PutPaletteIndex(const uint16_t* Rgba, uint8_t* Out) {
  Out[0] = static_cast<uint8_t>((High(Rgba[0]) & 0xE0) | (High(Rgba[1]) & 0xE0) >> 3 |
                                High(Rgba[2]) >> 6);
}

void PutRgb16(const uint16_t* Rgba, uint8_t* Out) {
  for (int c = 0; c < 3; ++c) {
    Out[2 * c] = High(Rgba[c]);
    Out[2 * c + 1] = static_cast<uint8_t>(Rgba[c]);
  }
}

std::vector<png_color> CubePalette() {
  std::vector<png_color> Palette(256);
  for (int i = 0; i < 256; ++i)
    Palette[static_cast<size_t>(i)] = {static_cast<png_byte>((i >> 5) * 255 / 7),
                                       static_cast<png_byte>(((i >> 2) & 7) * 255 / 7),
                                       static_cast<png_byte>((i & 3) * 85)};
  return Palette;
}

void FillSamples(const TScene& Scene, TPngRows& Image, TSamplePut Put, size_t BytesPerPixel) {
  for (uint32_t Y = 0; Y < Image.Height; ++Y) {
    const uint16_t* Source = Scene.Rgba.data() + size_t{Y} * Scene.Width * 4;
    uint8_t* Out = Image.Row(Y);
    for (uint32_t X = 0; X < Image.Width; ++X)
      Put(Source + 4 * X, Out + BytesPerPixel * X);
  }
}

// Floyd-Steinberg over the grey image, one row of carried error ahead.
void FillBilevel(const TScene& Scene, TPngRows& Image) {
  std::vector<int> Carry(Image.Width + 2, 0);
  std::vector<int> Next(Image.Width + 2, 0);
  for (uint32_t Y = 0; Y < Image.Height; ++Y) {
    const uint16_t* Source = Scene.Rgba.data() + size_t{Y} * Scene.Width * 4;
    std::fill(Next.begin(), Next.end(), 0);
    for (uint32_t X = 0; X < Image.Width; ++X) {
      const int Wanted = Luma(Source + 4 * X) + Carry[X + 1] / 16;
      const int Shown = Wanted >= 128 ? 255 : 0;
      if (Shown != 0)
        Image.Row(Y)[X / 8] |= static_cast<uint8_t>(0x80 >> (X % 8));
      const int Error = Wanted - Shown;
      Carry[X + 2] += 7 * Error;
      Next[X] += 3 * Error;
      Next[X + 1] += 5 * Error;
      Next[X + 2] += Error;
    }
    Carry.swap(Next);
  }
}

TPngRows RenderFormat(const TScene& Scene, const TImageKind& Kind) {
  TPngRows Image;
  Image.Width = Scene.Width;
  Image.Height = Scene.Height;
  Image.ColorType = Kind.ColorType;
  Image.BitDepth = Kind.BitDepth;
  Image.Adam7 = Kind.Adam7;
  const int Channels = ChannelsOf(Kind.ColorType);
  Image.RowBytes = (size_t{Image.Width} * Channels * Kind.BitDepth + 7) / 8;
  Image.Pixels.assign(Image.RowBytes * Image.Height, 0);
  if (Kind.BitDepth == 1)
    FillBilevel(Scene, Image);
  else if (Kind.BitDepth == 16)
    FillSamples(Scene, Image, PutRgb16, 6);
  else if (Kind.ColorType == PNG_COLOR_TYPE_PALETTE)
    FillSamples(Scene, Image, PutPaletteIndex, 1);
  else if (Channels == 1)
    FillSamples(Scene, Image, PutGrey8, 1);
  else
    FillSamples(Scene, Image, Channels == 4 ? PutRgba8 : PutRgb8, static_cast<size_t>(Channels));
  if (Kind.ColorType == PNG_COLOR_TYPE_PALETTE)
    Image.Palette = CubePalette();
  return Image;
}

// Scenes of other sizes are made for their image alone.
TBenchImage MakeBenchImage(const TImageKind& Kind) {
  TBenchImage Image{Kind.Size == SceneSize ? RenderFormat(BenchScene(), Kind)
                                           : RenderFormat(RenderScene(Kind.Size), Kind),
                    {},
                    {}};
  LibpngWrite(Image.Rows, TWriteSettings{}, Image.File, Image.Error);
  return Image;
}

} // namespace

const std::vector<TImageKind>& BenchImageKinds() {
  static const std::vector<TImageKind> Kinds = {
      {"rgb8", PNG_COLOR_TYPE_RGB, 8, false},     {"rgba8", PNG_COLOR_TYPE_RGBA, 8, false},
      {"grey8", PNG_COLOR_TYPE_GRAY, 8, false},   {"pal8", PNG_COLOR_TYPE_PALETTE, 8, false},
      {"rgb16", PNG_COLOR_TYPE_RGB, 16, false},   {"grey1", PNG_COLOR_TYPE_GRAY, 1, false},
      {"rgb8_adam7", PNG_COLOR_TYPE_RGB, 8, true}};
  return Kinds;
}

const std::vector<TImageKind>& ScaleImageKinds() {
  static const std::vector<TImageKind> Kinds = {
      {"rgba8_16384", PNG_COLOR_TYPE_RGBA, 8, false, 16384}};
  return Kinds;
}

const TBenchImage& BenchImage(const TImageKind& Kind) {
  static std::map<std::string, TBenchImage> Made;
  auto Found = Made.find(Kind.Name);
  if (Found == Made.end())
    Found = Made.emplace(Kind.Name, MakeBenchImage(Kind)).first;
  return Found->second;
}
