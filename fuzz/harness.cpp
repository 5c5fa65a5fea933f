#include "fuzz/harness.h"

#include "app/uOpenPicture.h"
#include "fuzz/pngchunks.h"
#include "png/pngimage.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

[[noreturn]] void Finding(const std::string& What) {
  std::fprintf(stderr, "fuzz finding: %s\n", What.c_str());
  std::abort();
}

uint32_t LittleEndian32(const uint8_t* Bytes) {
  return uint32_t{Bytes[3]} << 24 | uint32_t{Bytes[2]} << 16 | uint32_t{Bytes[1]} << 8 | Bytes[0];
}

TMemoryStream& Filled(TMemoryStream& Stream, const uint8_t* Data, size_t Size) {
  Stream.WriteBuffer(Data, static_cast<int64_t>(Size));
  Stream.SetPosition(0);
  return Stream;
}

namespace {

template <class... TClasses>
bool IsOneOf(const Exception& Error) {
  return (... || (dynamic_cast<const TClasses*>(&Error) != nullptr));
}

// The sixteen classes the codec raises.
bool IsPngError(const Exception& Error) {
  return IsOneOf<EPNGOutMemory, EPngError, EPngUnexpectedEnd, EPngInvalidCRC, EPngInvalidIHDR,
                 EPNGMissingMultipleIDAT, EPNGZLIBError, EPNGInvalidPalette, EPNGInvalidFileHeader,
                 EPNGIHDRNotFirst, EPNGSizeExceeds, EPNGUnknownCriticalChunk,
                 EPNGUnknownCompression, EPNGUnknownInterlace, EPNGNoImageData,
                 EPNGHeaderNotPresent>(Error);
}

// The image memory: every DIB row and alpha row, and the colour table.
std::vector<uint8_t> ImageMemory(const TPNGObject& Png) {
  const TChunkIHDR& H = Png.Header();
  std::vector<uint8_t> Bytes;
  if (!H.ImageMemoryUsable() || H.Width == 0 || H.Height == 0)
    return Bytes;
  const size_t RowBytes = (size_t{H.Width} * static_cast<size_t>(H.BitCount()) + 7) / 8;
  for (uint32_t Y = 0; Y < H.Height; ++Y) {
    Bytes.insert(Bytes.end(), H.ImageRow(Y), H.ImageRow(Y) + RowBytes);
    if (H.AlphaPlane != nullptr)
      Bytes.insert(Bytes.end(), H.AlphaRow(Y), H.AlphaRow(Y) + H.Width);
  }
  const auto* Colors = reinterpret_cast<const uint8_t*>(H.DibInfo.bmiColors);
  if (H.BitCount() <= 8)
    Bytes.insert(Bytes.end(), Colors, Colors + 4 * (size_t{1} << H.BitCount()));
  return Bytes;
}

void UsePng(TPNGObject& Png) {
  const int32_t Width = Png.GetWidth();
  const int32_t Height = Png.GetHeight();
  TBitmap Canvas;
  Canvas.SetWidth(64);
  Canvas.SetHeight(48);
  Png.Draw(Canvas.Canvas(), {-3, -2, Width - 3, Height - 2});
  TBitmap Converted;
  Png.AssignTo(Converted);
  uint64_t Sum = 0;
  for (int32_t Y = 0; Y < Height; ++Y)
    for (int32_t X = 0; X < Width; ++X)
      Sum += Png.GetPixelColor(X, Y);
  if (Sum == UINT64_MAX)
    Finding("impossible pixel sum");
}

void SaveAndReload(TPNGObject& Png) {
  const std::vector<uint8_t> Before = ImageMemory(Png);
  TMemoryStream Saved;
  Png.SaveToStream(Saved);
  Saved.SetPosition(0);
  TPNGObject Again;
  try {
    Again.LoadFromStream(Saved);
  } catch (const Exception& Error) {
    Finding("what we wrote does not load again: " + Error.Message());
  }
  if (ImageMemory(Again) != Before)
    Finding("what we wrote loads as other pixels");
}

} // namespace

void FuzzPng(const uint8_t* Data, size_t Size) {
  if (DeclaredPngPixels(Data, Size) > MaxFuzzedPixels)
    return;
  TMemoryStream Stream;
  TPNGObject Png;
  try {
    Png.LoadFromStream(Filled(Stream, Data, Size));
  } catch (const Exception& Error) {
    if (!IsPngError(Error))
      Finding("load raised " + Error.Message());
    return;
  }
  try {
    UsePng(Png);
  } catch (const Exception& Error) {
    if (!IsPngError(Error) && !dynamic_cast<const EConvertError*>(&Error))
      Finding("using the image raised " + Error.Message());
    return;
  }
  SaveAndReload(Png);
}

void FuzzBitmap(const uint8_t* Data, size_t Size) {
  if (DeclaredBitmapPixels(Data, Size) > MaxFuzzedPixels)
    return;
  TMemoryStream Stream;
  TBitmap Bitmap;
  try {
    Bitmap.LoadFromStream(Filled(Stream, Data, Size));
  } catch (const EInvalidGraphic&) {
    return;
  }
  TPNGObject Png;
  try {
    Png.Assign(Bitmap);
  } catch (const Exception& Error) {
    if (!IsPngError(Error) && !dynamic_cast<const EConvertError*>(&Error))
      Finding("import raised " + Error.Message());
  }
}

void FuzzContainer(const uint8_t* Data, size_t Size) {
  if (Size > 17 && Data[16] < Size) {
    const size_t Offset = Data[16];
    if (DeclaredPngPixels(Data + Offset, Size - Offset) > MaxFuzzedPixels ||
        DeclaredBitmapPixels(Data + Offset, Size - Offset) > MaxFuzzedPixels)
      return;
  }
  static const std::string Path = "/tmp/vqz-fuzz-" + std::to_string(getpid()) + ".vqz";
  if (FILE* File = std::fopen(Path.c_str(), "wb")) {
    std::fwrite(Data, 1, Size, File);
    std::fclose(File);
  }
  TBitmap Bitmap;
  try {
    LoadEmbeddedPicture(Path, Bitmap);
  } catch (const Exception& Error) {
    if (!IsPngError(Error) && !dynamic_cast<const EConvertError*>(&Error) &&
        !dynamic_cast<const EInvalidGraphic*>(&Error))
      Finding("opening raised " + Error.Message());
  }
  std::remove(Path.c_str());
}

uint64_t DeclaredPngPixels(const uint8_t* Data, size_t Size) {
  if (Size < 24 || std::memcmp(Data + 12, "IHDR", 4) != 0)
    return 0;
  return uint64_t{BigEndian32(Data + 16)} * BigEndian32(Data + 20);
}

uint64_t DeclaredBitmapPixels(const uint8_t* Data, size_t Size) {
  if (Size < 26)
    return 0;
  if (LittleEndian32(Data + 14) == 12)
    return uint64_t{uint16_t(Data[18] | Data[19] << 8)} * uint16_t(Data[20] | Data[21] << 8);
  const auto Height = static_cast<int32_t>(LittleEndian32(Data + 22));
  return uint64_t{LittleEndian32(Data + 18)} *
         static_cast<uint64_t>(Height < 0 ? -int64_t{Height} : Height);
}

size_t FixPngCrcs(uint8_t* Data, size_t Size) {
  ForEachChunk(Data, Size, [&](const TChunkFrame& Chunk) {
    if (Chunk.Complete)
      PutBigEndian32(Data + Chunk.At + 8 + Chunk.Length,
                     ~UpdateCrc32(0xFFFFFFFFu, Chunk.Type, static_cast<int32_t>(Chunk.Length + 4)));
    return true;
  });
  return Size;
}
