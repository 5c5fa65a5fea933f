// Byte order, CRC-32 and chunk tags.
#include "png/pngimage.h"

namespace {

constexpr uint32_t CrcPolynomial = 0xEDB88320u;

// Eight tables, built the first time a CRC is asked for: the first is the classic byte table,
// table k advances a byte's CRC by k more zero bytes, so eight bytes go in one step.
using TCrcTables = std::array<std::array<uint32_t, 256>, 8>;

TCrcTables BuildCrc32Tables() {
  TCrcTables Tables{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) != 0 ? CrcPolynomial ^ (c >> 1) : c >> 1;
    Tables[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n)
    for (size_t k = 1; k < Tables.size(); ++k)
      Tables[k][n] = Tables[0][Tables[k - 1][n] & 0xFFu] ^ (Tables[k - 1][n] >> 8);
  return Tables;
}

// The guard of the static is the "built" flag.
const TCrcTables& Crc32Tables() {
  static const TCrcTables Tables = BuildCrc32Tables();
  return Tables;
}

} // namespace

uint32_t SwapBytes32(uint32_t Value) { return __builtin_bswap32(Value); }

uint16_t SwapBytes16(uint32_t Value) {
  return __builtin_bswap16(static_cast<uint16_t>(Value & 0xFFFFu));
}

uint32_t UpdateCrc32(uint32_t Crc, const void* Buffer, int32_t Length) {
  if (Length <= 0)
    return Crc;
  const TCrcTables& T = Crc32Tables();
  const auto* Bytes = static_cast<const uint8_t*>(Buffer);
  const uint8_t* End = Bytes + Length;
  for (; End - Bytes >= 8; Bytes += 8) {
    const uint32_t Low = Crc ^ (Bytes[0] | Bytes[1] << 8 | Bytes[2] << 16 | uint32_t{Bytes[3]} << 24);
    Crc = T[7][Low & 0xFFu] ^ T[6][(Low >> 8) & 0xFFu] ^ T[5][(Low >> 16) & 0xFFu] ^ T[4][Low >> 24] ^
          T[3][Bytes[4]] ^ T[2][Bytes[5]] ^ T[1][Bytes[6]] ^ T[0][Bytes[7]];
  }
  for (; Bytes < End; ++Bytes)
    Crc = T[0][(Crc ^ *Bytes) & 0xFFu] ^ (Crc >> 8);
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
