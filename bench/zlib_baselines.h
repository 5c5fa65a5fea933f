// zlib alone, doing the part of PNG work that no codec can avoid: the floor under every decode
// and encode case.
#pragma once

#include "bench/libpng_io.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Where one IDAT chunk lies in a file: the offset of its type field and its body length.
struct TIdatChunk {
  size_t TypeOffset;
  uint32_t Length;
};

// The file's IDAT chunks in order; false when the chunk list runs past the file's end.
bool FindIdatChunks(const TBytes& File, std::vector<TIdatChunk>& Chunks, std::string& Error);

// Hands the IDAT bodies to Feed as our decoder reads them, through a 65535-byte input buffer,
// checking the CRC of every chunk; false when Feed fails or a CRC is wrong.
using TInputFeed = std::function<bool(uint8_t* Input, uint32_t Count)>;
bool FeedIdatChunks(const TBytes& File, const std::vector<TIdatChunk>& Chunks,
                    const TInputFeed& Feed, std::string& Error);

// Checks every IDAT CRC and inflates the data through a 65535-byte input buffer into one
// Slice-byte output buffer used over and over; Inflated tells the bytes it made.
bool InflateIdatChunks(const TBytes& File, const std::vector<TIdatChunk>& Chunks, size_t Slice,
                       int64_t& Inflated, std::string& Error);

// The whole IDAT stream inflated: the filtered rows the writer compressed.
bool InflatedImageData(const TBytes& File, TBytes& Rows, std::string& Error);

// Deflates Rows at Level with the default strategy into a 65535-byte output buffer drained as
// it fills; Compressed tells the size of the zlib stream.
bool DeflateRows(const TBytes& Rows, int Level, int64_t& Compressed, std::string& Error);
