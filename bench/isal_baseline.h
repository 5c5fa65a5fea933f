// ISA-L alone inflating the image data as zlib alone does in decode/inflate_only: the limit of a
// reader built on ISA-L.
#pragma once

#include "bench/zlib_baselines.h"

// As InflateIdatChunks, through ISA-L's streaming inflater with the zlib wrapper and its
// Adler-32 check.
bool InflateIdatChunksIsal(const TBytes& File, const std::vector<TIdatChunk>& Chunks, size_t Slice,
                           int64_t& Inflated, std::string& Error);
