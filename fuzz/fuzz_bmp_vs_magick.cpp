// libFuzzer target: Windows bitmap files read by our bitmap reader and by ImageMagick. Where both
// accept a file, every pixel must have the same colour, except for the scaling of colour fields
// of 16- and 32-bit pixels that are not 8 bits wide, where each reader's sample must come from
// the same field value by its own scaling, and for the differences fuzz/DIFFERENCES.md lists.
#include "fuzz/bmp_differences.h"
#include "fuzz/harness.h"
#include "png/pngimage.h"

#include <Magick++.h>

#include <array>
#include <bit>
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

// The red, green and blue fields of a file's pixels: their widths in bits (8 for a file without
// masks) and the pixel size they sit in.
struct TFields {
  std::array<int, 3> Widths{8, 8, 8};
  uint32_t BitCount = 24;
};

TFields FieldsOf(const uint8_t* Data, size_t Size) {
  if (Size < 26)
    return {};
  if (LittleEndian32(Data + 14) < 40) // OS/2 1.x: never compressed
    return (LittleEndian32(Data + 24) & 0xFFFF) == 16 ? TFields{{5, 5, 5}, 16} : TFields{};
  if (Size < 66)
    return {};
  const uint32_t BitCount = LittleEndian32(Data + 28) & 0xFFFF;
  const uint32_t Compression = LittleEndian32(Data + 30);
  if (BitCount == 16 && Compression == 0)
    return {{5, 5, 5}, 16};
  TFields Fields;
  if ((BitCount == 16 || BitCount == 32) && Compression == 3) {
    Fields.BitCount = BitCount;
    for (size_t Channel = 0; Channel < 3; ++Channel)
      Fields.Widths[Channel] = std::popcount(LittleEndian32(Data + 54 + 4 * Channel));
  }
  return Fields;
}

// Our sample of a field value: round(v * 255 / (2^Width - 1)).
uint64_t OurSample(uint64_t Value, int Width) {
  const uint64_t Max = (uint64_t{1} << Width) - 1;
  return (Value * 255 + Max / 2) / Max;
}

// ImageMagick's: the field moved to the top of 16 bits, its top bits repeated below it (for 5-bit
// fields and the 6-bit green of 16-bit pixels, and fields of up to 8 bits; of 32-bit pixels,
// 8-bit fields only), and 16 bits rounded to 8. Channel: 0 red, 1 green, 2 blue.
uint64_t MagickSample(uint64_t Value, int Width, uint32_t BitCount, size_t Channel) {
  uint64_t Sample = Width >= 16 ? Value >> (Width - 16) : Value << (16 - Width);
  if (BitCount == 16 && Width == 5)
    Sample |= (Sample & 0xE000) >> 5;
  if (BitCount == 16 && Width == 6 && Channel == 1)
    Sample |= (Sample & 0xC000) >> 6;
  if (BitCount == 16 ? Width <= 8 : Width == 8)
    Sample |= (Sample & 0xFF00) >> 8;
  return (Sample * 255 + 32767) / 65535;
}

// Whether one field value gives our sample and ImageMagick's. Our scaling rises with the value,
// so the values giving ours are a range, and ImageMagick's must lie between those of its ends.
bool SameField(uint8_t Ours, uint8_t Theirs, int Width, uint32_t BitCount, size_t Channel) {
  if (Width == 0)
    return Ours == 0 && Theirs == 0;
  const auto FirstGiving = [Width](uint64_t Sample) { // the least value whose sample >= Sample
    uint64_t Low = 0, High = uint64_t{1} << Width;
    while (Low < High) {
      const uint64_t Middle = Low + (High - Low) / 2;
      if (OurSample(Middle, Width) >= Sample)
        High = Middle;
      else
        Low = Middle + 1;
    }
    return Low;
  };
  const uint64_t First = FirstGiving(Ours), Last = FirstGiving(Ours + 1u);
  if (First == Last)
    return false;
  return MagickSample(First, Width, BitCount, Channel) <= Theirs &&
         Theirs <= MagickSample(Last - 1, Width, BitCount, Channel);
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
  if (WhyPixelsDifferFromImageMagick(Data, Size))
    return 0;
  const TFields Fields = FieldsOf(Data, Size);
  for (size_t Index = 0; Index < Ours->Rgb.size(); ++Index)
    if (!SameField(Ours->Rgb[Index], Theirs->Rgb[Index], Fields.Widths[Index % 3], Fields.BitCount,
                   Index % 3))
      Finding("sample " + std::to_string(Index) + " is " + std::to_string(Ours->Rgb[Index]) +
              ", ImageMagick's " + std::to_string(Theirs->Rgb[Index]));
  return 0;
}
