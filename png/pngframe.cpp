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
  uint32_t Value = 0;
  ReadChunkBytes(Stream, &Value, sizeof Value);
  return SwapBytes32(Value);
}

uint32_t ChunkCrc(const TChunkTag& Tag, const uint8_t* Body, int32_t Size) {
  uint32_t Crc = UpdateCrc32(0xFFFFFFFFu, Tag.data(), static_cast<int32_t>(Tag.size()));
  return ~UpdateCrc32(Crc, Body, Size);
}
