// Chunk framing and chunk-class helpers shared by the codec's readers, writers and chunk classes
// (not part of the public face).
#pragma once

#include "png/pngbyteorder.h"
#include "png/pngimage.h"

constexpr TChunkTag IhdrTag = ChunkTagOf("IHDR");
constexpr TChunkTag IdatTag = ChunkTagOf("IDAT");
constexpr TChunkTag IendTag = ChunkTagOf("IEND");

// Raises EPngUnexpectedEnd with its message.
[[noreturn]] void RaiseUnexpectedEnd();

// Bytes the stream can still deliver from its position.
int64_t StreamRemaining(TStream& Stream);

// Reads exactly Count bytes or raises EPngUnexpectedEnd: no byte that was not read is ever used.
void ReadChunkBytes(TStream& Stream, void* Buffer, int64_t Count);

// Reads a 4-byte big-endian value, raising EPngUnexpectedEnd when the stream ends inside it.
uint32_t ReadBigEndian32(TStream& Stream);

// Source as a chunk of class T, for AssignChunk; raises "incompatible chunks" when it is not one.
template <class T>
const T& CheckedSource(const TChunk& Source) {
  if (!Source.ClassType().InheritsFrom(T::ClassInfo))
    TPNGObject::RaisePngError<EPngError>(PngMessage(MsgIncompatibleChunks));
  return static_cast<const T&>(Source);
}

// The CRC a chunk with this type and body must carry.
uint32_t ChunkCrc(const TChunkTag& Tag, const uint8_t* Body, int32_t Size);

// Writes a whole chunk: length, type, body, CRC.
void WriteChunk(TStream& Stream, const TChunkTag& Tag, const uint8_t* Body, uint32_t Size);
