#include "png/pngframe.h"

void RaiseUnexpectedEnd() {
  TPNGObject::RaisePngError<EPngUnexpectedEnd>(PngMessage(MsgUnexpectedEnd));
}

int64_t StreamRemaining(TStream& Stream) {
  const int64_t Remaining = Stream.GetSize() - Stream.GetPosition();
  return Remaining > 0 ? Remaining : 0;
}

void ReadChunkBytes(TStream& Stream, void* Buffer, int64_t Count) {
  if (Stream.ReadFully(Buffer, Count) != Count)
    RaiseUnexpectedEnd();
}

uint32_t ReadBigEndian32(TStream& Stream) {
  uint8_t Bytes[4];
  ReadChunkBytes(Stream, Bytes, sizeof Bytes);
  return BigEndian32(Bytes);
}

uint32_t ChunkCrc(const TChunkTag& Tag, const uint8_t* Body, int32_t Size) {
  uint32_t Crc = UpdateCrc32(0xFFFFFFFFu, Tag.data(), static_cast<int32_t>(Tag.size()));
  return ~UpdateCrc32(Crc, Body, Size);
}

void WriteChunk(TStream& Stream, const TChunkTag& Tag, const uint8_t* Body, uint32_t Size) {
  uint8_t Length[4], Crc[4];
  PutBigEndian32(Length, Size);
  PutBigEndian32(Crc, ChunkCrc(Tag, Body, static_cast<int32_t>(Size)));
  Stream.WriteBuffer(Length, sizeof Length);
  Stream.WriteBuffer(Tag.data(), sizeof(TChunkTag));
  Stream.WriteBuffer(Body, Size);
  Stream.WriteBuffer(Crc, sizeof Crc);
}
