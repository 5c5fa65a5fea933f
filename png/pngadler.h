// The Adler-32 check value that ends a zlib stream, over image data ISA-L inflates without it (not
// part of the public face).
#pragma once

#include <cstddef>
#include <cstdint>

// The check value of Count more bytes, Adler being that of the bytes before them (1 for none).
// AVX-512 with byte dot products where the processor has it, about seven times the speed of
// ISA-L's own, which every other processor takes.
uint32_t UpdateAdler32(uint32_t Adler, const uint8_t* Bytes, size_t Count);

// One path; false, with Adler unchanged, where this build or processor lacks it.
enum TAdlerPath : int { apIsal, apAvx512Vnni };
bool UpdateAdler32On(TAdlerPath Path, uint32_t& Adler, const uint8_t* Bytes, size_t Count);
