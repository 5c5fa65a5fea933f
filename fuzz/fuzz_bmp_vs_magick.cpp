// libFuzzer target: Windows bitmap files read by our bitmap reader and by ImageMagick. Where both
// accept a file, every pixel must have the same colour, except in files with 5- or 6-bit fields
// (16 bits a pixel, or bit fields), where a sample may be one level apart: we scale such a
// field to 8 bits by rounding, ImageMagick by repeating its top bits.
#include "fuzz/harness.h"
#include "png/pngimage.h"

#include <Magick++.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

struct TRgbImage {
  size_t Width = 0, Height = 0;
  std::vector<uint8_t> Rgb; // rows top-down, 3 bytes a pixel
};

std::optional<TRgbImage> OurRgb(const uint8_t* Data, size_t Size) {
  TMemoryStream Stream;
  Stream.WriteBuffer(Data, static_cast<int64_t>(Size));
  Stream.SetPosition(0);
  TBitmap Bitmap;
  try {
    Bitmap.LoadFromStream(Stream);
  } catch (const EInvalidGraphic&) {
    return std::nullopt;
  }
  TRgbImage Image{
      static_cast<size_t>(Bitmap.GetWidth()), static_cast<size_t>(Bitmap.GetHeight()), {}};
  for (int32_t Y = 0; Y < Bitmap.GetHeight(); ++Y)
    for (int32_t X = 0; X < Bitmap.GetWidth(); ++X) {
      const COLORREF Colour = Bitmap.Canvas().GetPixel(X, Y);
      Image.Rgb.insert(Image.Rgb.end(),
                       {static_cast<uint8_t>(Colour), static_cast<uint8_t>(Colour >> 8),
                        static_cast<uint8_t>(Colour >> 16)});
    }
  return Image;
}

std::optional<TRgbImage> MagickRgb(const uint8_t* Data, size_t Size) {
  try {
    Magick::Image Image;
    Image.quiet(true);
    Image.magick("BMP");
    Image.read(Magick::Blob(Data, Size));
    TRgbImage Rgb{Image.columns(), Image.rows(), {}};
    Rgb.Rgb.resize(Rgb.Width * Rgb.Height * 3);
    Image.write(0, 0, Rgb.Width, Rgb.Height, "RGB", Magick::CharPixel, Rgb.Rgb.data());
    return Rgb;
  } catch (const Magick::Exception&) {
    return std::nullopt;
  }
}

uint32_t LittleEndian(const uint8_t* Bytes, int Count) {
  uint32_t Value = 0;
  for (int Index = Count - 1; Index >= 0; --Index)
    Value = Value << 8 | Bytes[Index];
  return Value;
}

// 16 bits a pixel, or bit fields of any depth.
bool HasFieldsNarrowerThanABytes(const uint8_t* Data, size_t Size) {
  if (Size < 34 || LittleEndian(Data + 14, 4) < 40)
    return false;
  const uint32_t BitCount = LittleEndian(Data + 28, 2);
  const uint32_t Compression = LittleEndian(Data + 30, 4);
  return BitCount == 16 || Compression == 3 || Compression == 6;
}

[[noreturn]] void Finding(const std::string& What) {
  std::fprintf(stderr, "fuzz finding: %s\n", What.c_str());
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** Arguments) {
  InitializePngImageUnit();
  Magick::InitializeMagick(**Arguments);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (DeclaredBitmapPixels(Data, Size) > MaxFuzzedPixels)
    return 0;
  const std::optional<TRgbImage> Ours = OurRgb(Data, Size);
  if (!Ours)
    return 0;
  const std::optional<TRgbImage> Theirs = MagickRgb(Data, Size);
  if (!Theirs)
    return 0;
  if (Ours->Width != Theirs->Width || Ours->Height != Theirs->Height)
    Finding("sizes differ");
  const int Tolerance = HasFieldsNarrowerThanABytes(Data, Size) ? 1 : 0;
  for (size_t Index = 0; Index < Ours->Rgb.size(); ++Index)
    if (std::abs(Ours->Rgb[Index] - Theirs->Rgb[Index]) > Tolerance)
      Finding("sample " + std::to_string(Index) + " is " + std::to_string(Ours->Rgb[Index]) +
              ", ImageMagick's " + std::to_string(Theirs->Rgb[Index]));
  return 0;
}
