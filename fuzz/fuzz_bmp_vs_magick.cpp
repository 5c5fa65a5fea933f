// libFuzzer target: Windows bitmap files read by our bitmap reader and by ImageMagick. Where both
// accept a file, every pixel must have the same colour, except for the scaling of colour fields
// of 16- and 32-bit pixels that are not 8 bits wide: we scale a field of n bits to 8 by
// round(v * 255 / (2^n - 1)), ImageMagick moves it to the top bits (repeating them for 5-bit
// fields only). There the samples' top n bits must agree (all 8 of them, within one level, for
// fields wider than 8 bits).
#include "fuzz/harness.h"
#include "png/pngimage.h"

#include <Magick++.h>

#include <array>
#include <bit>
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
  TBitmap Bitmap;
  try {
    Bitmap.LoadFromStream(Filled(Stream, Data, Size));
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

// The width of the red, green and blue fields of a 16- or 32-bit pixel (their masks follow the
// 40-byte header, or are in a larger one); 8 for every other file.
std::array<int, 3> FieldWidths(const uint8_t* Data, size_t Size) {
  std::array<int, 3> Widths{8, 8, 8};
  if (Size < 66 || LittleEndian32(Data + 14) < 40)
    return Widths;
  const uint32_t BitCount = LittleEndian32(Data + 28) & 0xFFFF;
  const uint32_t Compression = LittleEndian32(Data + 30);
  if (BitCount == 16 && Compression == 0)
    return {5, 5, 5};
  if ((BitCount == 16 || BitCount == 32) && Compression == 3)
    for (size_t Channel = 0; Channel < 3; ++Channel)
      Widths[Channel] = std::popcount(LittleEndian32(Data + 54 + 4 * Channel));
  return Widths;
}

bool SameAtWidth(uint8_t Ours, uint8_t Theirs, int Width) {
  if (Width > 8)
    return std::abs(Ours - Theirs) <= 1;
  const int Shift = Width == 0 ? 0 : 8 - Width;
  return Ours >> Shift == Theirs >> Shift;
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
  const std::array<int, 3> Widths = FieldWidths(Data, Size);
  for (size_t Index = 0; Index < Ours->Rgb.size(); ++Index)
    if (!SameAtWidth(Ours->Rgb[Index], Theirs->Rgb[Index], Widths[Index % 3]))
      Finding("sample " + std::to_string(Index) + " is " + std::to_string(Ours->Rgb[Index]) +
              ", ImageMagick's " + std::to_string(Theirs->Rgb[Index]));
  return 0;
}
