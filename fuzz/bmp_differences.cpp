#include "fuzz/bmp_differences.h"

#include "fuzz/harness.h"

#include <algorithm>

namespace {

constexpr uint32_t Stored = 0, Rle8 = 1, Rle4 = 2;

uint16_t LittleEndian16(const uint8_t* Bytes) {
  return static_cast<uint16_t>(Bytes[0] | Bytes[1] << 8);
}

// What the walks over a palette bitmap's pixels need of its headers.
struct TIndexedBitmap {
  int64_t Width = 0, Height = 0;
  uint16_t BitCount = 0;
  uint32_t Compression = Stored;
  uint32_t ColorsUsed = 0;
  size_t Start = 0, End = 0; // the pixel data
};

std::optional<TIndexedBitmap> IndexedBitmapOf(const uint8_t* Data, size_t Size) {
  if (Size < 54 || LittleEndian32(Data + 14) < 40)
    return std::nullopt;
  TIndexedBitmap Bitmap;
  Bitmap.BitCount = LittleEndian16(Data + 28);
  Bitmap.Compression = LittleEndian32(Data + 30);
  const bool Indexed = (Bitmap.Compression == Stored &&
                        (Bitmap.BitCount == 1 || Bitmap.BitCount == 4 || Bitmap.BitCount == 8)) ||
                       (Bitmap.Compression == Rle8 && Bitmap.BitCount == 8) ||
                       (Bitmap.Compression == Rle4 && Bitmap.BitCount == 4);
  Bitmap.Width = static_cast<int32_t>(LittleEndian32(Data + 18));
  // Negative for top-down rows.
  const auto StoredHeight = static_cast<int64_t>(static_cast<int32_t>(LittleEndian32(Data + 22)));
  Bitmap.Height = StoredHeight < 0 ? -StoredHeight : StoredHeight;
  Bitmap.ColorsUsed = LittleEndian32(Data + 46);
  Bitmap.Start = LittleEndian32(Data + 10);
  if (!Indexed || Bitmap.Width <= 0 || Bitmap.Start >= Size)
    return std::nullopt;
  const uint32_t Declared = LittleEndian32(Data + 34);
  const bool Limited = Bitmap.Compression != Stored && Declared != 0;
  Bitmap.End = Limited ? Bitmap.Start + std::min<size_t>(Declared, Size - Bitmap.Start) : Size;
  return Bitmap;
}

uint8_t IndexAt(uint8_t Byte, int64_t Pixel, uint16_t BitCount) {
  const int64_t Shift = 8 - BitCount - Pixel * BitCount % 8;
  return static_cast<uint8_t>(Byte >> Shift & ((1u << BitCount) - 1));
}

// Calls Visit(X, Y, Index) for each pixel the run-length codes write, as the format defines
// them, rows counted from the bottom, until the codes end or pass the top. X may lie past the
// right edge.
template <typename TVisit>
void ForEachRlePixel(const uint8_t* Data, const TIndexedBitmap& Bitmap, TVisit Visit) {
  int64_t X = 0, Y = 0;
  for (size_t At = Bitmap.Start; At + 1 < Bitmap.End && Y < Bitmap.Height;) {
    const uint8_t Count = Data[At], Code = Data[At + 1];
    At += 2;
    if (Count > 0) {
      for (int64_t Pixel = 0; Pixel < Count; ++Pixel)
        Visit(X++, Y, IndexAt(Code, Pixel, Bitmap.BitCount));
    } else if (Code > 2) {
      const size_t Bytes = Bitmap.BitCount == 8 ? Code : (Code + 1u) / 2;
      for (int64_t Pixel = 0; Pixel < Code; ++Pixel) {
        const size_t Byte = At + static_cast<size_t>(Pixel * Bitmap.BitCount / 8);
        if (Byte < Bitmap.End)
          Visit(X++, Y, IndexAt(Data[Byte], Pixel, Bitmap.BitCount));
      }
      At += Bytes + Bytes % 2;
    } else if (Code == 0) {
      X = 0;
      ++Y;
    } else if (Code == 1 || At + 1 >= Bitmap.End) {
      return;
    } else {
      X += Data[At];
      Y += Data[At + 1];
      At += 2;
    }
  }
}

// Calls Visit(X, Y, Index) for each pixel of the rows stored in full, in the order they are
// stored.
template <typename TVisit>
void ForEachStoredPixel(const uint8_t* Data, const TIndexedBitmap& Bitmap, TVisit Visit) {
  const auto RowBytes = static_cast<size_t>((Bitmap.Width * Bitmap.BitCount + 31) / 32 * 4);
  const size_t StoredRows = (Bitmap.End - Bitmap.Start) / RowBytes;
  for (int64_t Y = 0; Y < Bitmap.Height && static_cast<size_t>(Y) < StoredRows; ++Y) {
    const uint8_t* Row = Data + Bitmap.Start + static_cast<size_t>(Y) * RowBytes;
    for (int64_t X = 0; X < Bitmap.Width; ++X)
      Visit(X, Y, IndexAt(Row[X * Bitmap.BitCount / 8], X, Bitmap.BitCount));
  }
}

// We drop the pixels of a run or an absolute run that reaches past the right edge of a row
// inside the picture; ImageMagick carries them on into the rows above.
bool RlePixelsPastTheRightEdge(const uint8_t* Data, const TIndexedBitmap& Bitmap) {
  bool Past = false;
  ForEachRlePixel(Data, Bitmap, [&](int64_t X, int64_t, uint8_t) { Past |= X >= Bitmap.Width; });
  return Past;
}

// A file may list fewer colours than its pixels can index. We show a pixel indexing past them
// black; ImageMagick shows the first colour.
bool IndexBeyondTheListedColours(const uint8_t* Data, const TIndexedBitmap& Bitmap) {
  if (Bitmap.ColorsUsed == 0 || Bitmap.ColorsUsed >= 1u << Bitmap.BitCount)
    return false;
  bool Beyond = false;
  const auto Check = [&](int64_t X, int64_t Y, uint8_t Index) {
    Beyond |= X < Bitmap.Width && Y < Bitmap.Height && Index >= Bitmap.ColorsUsed;
  };
  if (Bitmap.Compression == Stored)
    ForEachStoredPixel(Data, Bitmap, Check);
  else
    ForEachRlePixel(Data, Bitmap, Check);
  return Beyond;
}

} // namespace

std::optional<std::string> WhyPixelsDifferFromImageMagick(const uint8_t* Data, size_t Size) {
  const std::optional<TIndexedBitmap> Bitmap = IndexedBitmapOf(Data, Size);
  if (!Bitmap)
    return std::nullopt;
  if (Bitmap->Compression != Stored && RlePixelsPastTheRightEdge(Data, *Bitmap))
    return "RLE pixels past the right edge";
  if (IndexBeyondTheListedColours(Data, *Bitmap))
    return "index beyond the listed colours";
  return std::nullopt;
}
