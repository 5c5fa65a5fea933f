// Byte order, CRC-32 and chunk tags.
#include "png/pngimage.h"

namespace {

constexpr uint32_t CrcPolynomial = 0xEDB88320u;

using TCrcTable = std::array<uint32_t, 256>;

TCrcTable BuildCrc32Table() {
  TCrcTable Table{};
  for (uint32_t n = 0; n < Table.size(); ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) != 0 ? CrcPolynomial ^ (c >> 1) : c >> 1;
    Table[n] = c;
  }
  return Table;
}

// Built the first time a CRC is asked for; the guard of the static is the "built" flag.
const TCrcTable& Crc32Table() {
  static const TCrcTable Table = BuildCrc32Table();
  return Table;
}

} // namespace

uint32_t SwapBytes32(uint32_t Value) { return __builtin_bswap32(Value); }

uint16_t SwapBytes16(uint32_t Value) {
  return __builtin_bswap16(static_cast<uint16_t>(Value & 0xFFFFu));
}

uint32_t UpdateCrc32(uint32_t Crc, const void* Buffer, int32_t Length) {
  if (Length <= 0)
    return Crc;
  const TCrcTable& Table = Crc32Table();
  const auto* Bytes = static_cast<const uint8_t*>(Buffer);
  for (int32_t i = 0; i < Length; ++i)
    Crc = Table[(Crc ^ Bytes[i]) & 0xFFu] ^ (Crc >> 8);
  return Crc;
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
