// Chunk framing shared by the codec's readers and writers (not part of the public face).
#pragma once

#include "png/pngimage.h"

// Raises EPngUnexpectedEnd with its message.
[[noreturn]] void RaiseUnexpectedEnd();

// Bytes the stream can still deliver from its position.
int64_t StreamRemaining(TStream& Stream);

// Reads exactly Count bytes or raises EPngUnexpectedEnd: no byte that was not read is ever used.
void ReadChunkBytes(TStream& Stream, void* Buffer, int64_t Count);

// Reads a 4-byte big-endian value, raising EPngUnexpectedEnd when the stream ends inside it.
uint32_t ReadBigEndian32(TStream& Stream);

// The CRC a chunk with this type and body must carry.
uint32_t ChunkCrc(const TChunkTag& Tag, const uint8_t* Body, int32_t Size);
