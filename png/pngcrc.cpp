// Byte order, CRC-32 and chunk tags.
#include "png/pngimage.h"

#include <zlib.h>

uint32_t SwapBytes32(uint32_t Value) { return __builtin_bswap32(Value); }

uint16_t SwapBytes16(uint32_t Value) {
  return __builtin_bswap16(static_cast<uint16_t>(Value & 0xFFFFu));
}

// zlib's CRC-32 is the PNG standard's, computed several words at a time; it takes and gives the
// complemented register.
uint32_t UpdateCrc32(uint32_t Crc, const void* Buffer, int32_t Length) {
  if (Length <= 0)
    return Crc;
  return ~static_cast<uint32_t>(
      crc32(~Crc, static_cast<const Bytef*>(Buffer), static_cast<uInt>(Length)));
}

std::string ChunkTagText(const TChunkTag& Tag) {
  std::string Text;
  for (const uint8_t TagByte : Tag) {
    if (TagByte == 0)
      break;
    Text += static_cast<char>(TagByte);
  }
  return Text;
}
