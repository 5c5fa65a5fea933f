// The one walk over a PNG file's chunks by their declared lengths, for the fuzz harness, the
// libpng oracle and the tests, which each look at the chunks their own way.
#pragma once

#include "png/pngbyteorder.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

struct TChunkFrame {
  size_t At;           // the length field's offset
  uint64_t Length;     // as declared
  const uint8_t* Type; // four bytes
  const uint8_t* Body; // Present bytes of it lie inside the file
  size_t Present;
  bool Complete; // body and CRC both inside the file
  bool IsType(const char* Name) const { return std::memcmp(Type, Name, 4) == 0; }
};

// Calls Visit with each chunk after the signature, in order, while its length and type lie inside
// the file; stops after the first chunk that is not complete, or where Visit returns false.
template <class TVisit>
void ForEachChunk(const uint8_t* File, size_t Size, TVisit Visit) {
  for (size_t At = 8; At + 8 <= Size;) {
    const uint64_t Length = BigEndian32(File + At);
    const size_t Left = Size - At - 8;
    const TChunkFrame Frame{At,
                            Length,
                            File + At + 4,
                            File + At + 8,
                            Length < Left ? static_cast<size_t>(Length) : Left,
                            Length + 4 <= Left};
    if (!Visit(Frame) || !Frame.Complete)
      return;
    At += 12 + static_cast<size_t>(Length);
  }
}
