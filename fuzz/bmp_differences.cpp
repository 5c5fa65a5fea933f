#include "fuzz/bmp_differences.h"

#include "fuzz/harness.h"

#include <algorithm>

namespace {

constexpr uint32_t Rle8 = 1, Rle4 = 2;

uint16_t LittleEndian16(const uint8_t* Bytes) {
  return static_cast<uint16_t>(Bytes[0] | Bytes[1] << 8);
}

// Walks the run-length codes as the format defines them and tells whether any run or absolute
// run reaches past the right edge of a row inside the picture. We drop such pixels; ImageMagick
// carries them on into the rows above.
bool RlePixelsPastTheRightEdge(const uint8_t* Data, size_t Size) {
  if (Size < 54 || LittleEndian32(Data + 14) < 40)
    return false;
  const uint32_t Compression = LittleEndian32(Data + 30);
  const uint16_t BitCount = LittleEndian16(Data + 28);
  if (!(Compression == Rle8 && BitCount == 8) && !(Compression == Rle4 && BitCount == 4))
    return false;
  const auto Width = static_cast<int64_t>(static_cast<int32_t>(LittleEndian32(Data + 18)));
  const auto Height = static_cast<int64_t>(static_cast<int32_t>(LittleEndian32(Data + 22)));
  const size_t Start = LittleEndian32(Data + 10);
  const uint32_t Declared = LittleEndian32(Data + 34);
  if (Start >= Size)
    return false;
  const size_t End = Declared == 0 ? Size : Start + std::min<size_t>(Declared, Size - Start);
  int64_t X = 0, Y = 0;
  for (size_t At = Start; At + 1 < End && Y < Height;) {
    const uint8_t Count = Data[At], Code = Data[At + 1];
    At += 2;
    if (Count > 0 || Code > 2) {
      const int64_t Pixels = Count > 0 ? Count : Code;
      if (X + Pixels > Width)
        return true;
      X += Pixels;
      if (Count == 0) {
        const size_t Bytes = BitCount == 8 ? Code : (Code + 1u) / 2;
        At += Bytes + Bytes % 2;
      }
    } else if (Code == 0) {
      X = 0;
      ++Y;
    } else if (Code == 1 || At + 1 >= End) {
      return false;
    } else {
      X += Data[At];
      Y += Data[At + 1];
      At += 2;
    }
  }
  return false;
}

} // namespace

std::optional<std::string> WhyPixelsDifferFromImageMagick(const uint8_t* Data, size_t Size) {
  if (RlePixelsPastTheRightEdge(Data, Size))
    return "RLE pixels past the right edge";
  return std::nullopt;
}
