// Byte order, CRC-32 and chunk tags.
#include "png/pngimage.h"

#include "png/pngcpu.h"

#ifdef VQZ_HAVE_ISAL
#include <isa-l/crc.h>
#else
#include <zlib.h>
#endif

uint32_t SwapBytes32(uint32_t Value) {
  return __builtin_bswap32(Value);
}

uint16_t SwapBytes16(uint32_t Value) {
  return __builtin_bswap16(static_cast<uint16_t>(Value & 0xFFFFu));
}

// The PNG standard's CRC-32 is zlib's and gzip's. Both take and give the complemented register.
// Where the build has ISA-L, its carry-less multiplication computes it several times as fast as
// zlib's words at a time; zlib's is its twin in the tests.
uint32_t UpdateCrc32(uint32_t Crc, const void* Buffer, int32_t Length) {
  if (Length <= 0)
    return Crc;
#ifdef VQZ_HAVE_ISAL
  const uint32_t Updated = crc32_gzip_refl(~Crc, static_cast<const unsigned char*>(Buffer),
                                           static_cast<uint64_t>(Length));
  ClearUpperVectorHalves();
  return ~Updated;
#else
  return ~static_cast<uint32_t>(
      crc32(~Crc, static_cast<const Bytef*>(Buffer), static_cast<uInt>(Length)));
#endif
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
