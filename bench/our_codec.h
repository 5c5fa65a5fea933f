// Our codec as the benchmark drives it: through TPNGObject and memory streams, the way the
// viewer and the tests do, with its exceptions turned into error text.
#pragma once

#include "bench/libpng_io.h"
#include "png/pngimage.h"

#include <string>

void FillStream(TMemoryStream& Stream, const TBytes& Bytes);

// Loads Image from Stream's start.
bool OurDecode(TMemoryStream& Stream, TPNGObject& Image, std::string& Error);
// Writes Image into Stream, emptied first.
bool OurEncode(TPNGObject& Image, TMemoryStream& Stream, std::string& Error);

// The bytes of the image memory: the DIB section with its padded rows, and the alpha plane.
int64_t ImageMemoryBytes(const TPNGObject& Image);

// True when Image's memory holds what libpng reads under LikeOurImageMemory.
bool SameAsLibpng(const TPNGObject& Image, const TPngRows& Theirs);
