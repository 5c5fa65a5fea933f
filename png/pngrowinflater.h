// The first stage of reading image data: the rows' bytes, each row's filter byte first, inflated
// from the IDAT chunks in turn, every chunk's CRC checked (not part of the public face).
#pragma once

#include "png/pnginflater.h"

class TRowInflater {
public:
  // Stream stands at the body of the first IDAT chunk, BodySize bytes long.
  TRowInflater(TStream& Stream, int32_t BodySize, TImageInflaterKind Kind);

  // The next Count bytes of the image data into Destination; a row the data ends inside is
  // completed with zeros. False when no byte of it came.
  bool ReadRow(uint8_t* Destination, int32_t Count);
  // The rest of the last chunk read still counts for its CRC, which then follows.
  void Finish();

private:
  int32_t Inflate(uint8_t* Destination, int32_t Count);
  int32_t ReadBody(uint8_t* Buffer, int64_t Count);
  void CheckCrc(uint32_t Stored) const;
  void NextChunk();

  TStream& Stream;
  std::unique_ptr<TImageInflater> Inflater;
  uint32_t Crc = 0xFFFFFFFFu;
  int64_t ChunkEnd = 0;
};
