#include "png/pngrowinflater.h"

#include "png/pngframe.h"

#include <algorithm>

TRowInflater::TRowInflater(TStream& From, int32_t BodySize, TImageInflaterKind Kind)
    : Stream(From), Inflater(NewImageInflater(Kind)),
      Crc(UpdateCrc32(0xFFFFFFFFu, IdatTag.data(), 4)), ChunkEnd(From.GetPosition() + BodySize) {}

bool TRowInflater::ReadRow(uint8_t* Destination, int32_t Count) {
  const int32_t Got = Inflate(Destination, Count);
  std::fill(Destination + Got, Destination + Count, uint8_t{0});
  return Got > 0;
}

// As many of Count bytes as the stream yields before it ends or the chunks run dry.
int32_t TRowInflater::Inflate(uint8_t* Destination, int32_t Count) {
  int32_t Produced = 0;
  while (Produced < Count && !Inflater->StreamEnded()) {
    if (Inflater->NeedsInput() && Stream.GetPosition() >= ChunkEnd) {
      NextChunk();
      continue;
    }
    if (Inflater->NeedsInput()) {
      const int32_t Got = ReadBody(Inflater->InputBuffer(), ChunkEnd - Stream.GetPosition());
      if (Got == 0)
        break;
      Inflater->TakeInput(Got);
    }
    Produced += Inflater->Inflate(Destination + Produced, Count - Produced);
  }
  return Produced;
}

void TRowInflater::Finish() {
  while (Stream.GetPosition() < ChunkEnd)
    if (ReadBody(Inflater->InputBuffer(), ChunkEnd - Stream.GetPosition()) == 0)
      RaiseUnexpectedEnd();
  CheckCrc(ReadBigEndian32(Stream));
}

// Reads the bytes of the current body up to Count, into the CRC; 0 when the stream is dry.
int32_t TRowInflater::ReadBody(uint8_t* Buffer, int64_t Count) {
  const int64_t Wanted = std::clamp<int64_t>(Count, 0, ZlibInputBufferSize);
  const auto Got = static_cast<int32_t>(Stream.ReadFully(Buffer, Wanted));
  Crc = UpdateCrc32(Crc, Buffer, Got);
  return Got;
}

void TRowInflater::CheckCrc(uint32_t Stored) const {
  if (Stored != ~Crc)
    TPNGObject::RaisePngError<EPngInvalidCRC>(PngMessage(MsgInvalidCRC));
}

// The current chunk is used up: its CRC, then the next chunk's frame, which must be IDAT.
void TRowInflater::NextChunk() {
  CheckCrc(ReadBigEndian32(Stream));
  const uint32_t Length = ReadBigEndian32(Stream);
  TChunkTag Tag{};
  ReadChunkBytes(Stream, Tag.data(), 4);
  if (Tag != IdatTag)
    TPNGObject::RaisePngError<EPNGMissingMultipleIDAT>(PngMessage(MsgMissingIDAT));
  if (Length > 0x7FFFFFFFu || int64_t{Length} + 4 > StreamRemaining(Stream))
    RaiseUnexpectedEnd();
  Crc = UpdateCrc32(0xFFFFFFFFu, Tag.data(), 4);
  ChunkEnd = Stream.GetPosition() + Length;
}
