#include "png/pngadler.h"

#include "png/pngcpu.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>

#ifdef VQZ_SSE2
#include <immintrin.h>
#endif

namespace {

constexpr uint32_t AdlerModulus = 65521;

uint32_t UpdateWithIsal(uint32_t Adler, const uint8_t* Bytes, size_t Count) {
  const uint32_t Updated = isal_adler32(Adler, Bytes, Count);
  ClearUpperVectorHalves();
  return Updated;
}

#ifdef VQZ_SSE2
constexpr size_t VectorBytes = 64;
// Vectors summed before the sums are reduced. The largest of the three sums over all lanes, the
// prefix, stays below 2^32: at most 64 * 255 * V (V - 1) / 2.
constexpr size_t VectorsPerBlock = 512;

// The sixteen 32-bit lanes added, modulo 2^32; once a block, so through memory.
VQZ_AVX512_VNNI_ROUTINE uint64_t SumOfLanes(__m512i Lanes) {
  alignas(VectorBytes) uint32_t Each[16];
  _mm512_store_si512(Each, Lanes);
  uint32_t Sum = 0;
  for (const uint32_t Lane : Each)
    Sum += Lane;
  return Sum;
}

// For a block of V vectors, byte j of vector v has weight 64 (V - v - 1) + (64 - j) in the second
// sum: the first term comes from adding each vector's sum to a prefix before the vector is taken,
// the second from a dot product with the weights 64 .. 1.
VQZ_AVX512_VNNI_ROUTINE uint32_t UpdateWithAvx512Vnni(uint32_t Adler, const uint8_t* Bytes,
                                                      size_t Count) {
  uint64_t First = Adler & 0xFFFFu;
  uint64_t Second = Adler >> 16;
  const __m512i Weights = _mm512_set_epi8(
      1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
      27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49,
      50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64);
  const __m512i Zero = _mm512_setzero_si512();
  while (Count >= VectorBytes) {
    const size_t Vectors = std::min(Count / VectorBytes, VectorsPerBlock);
    // Two weighted sums, so that one dot product need not wait for the one before.
    __m512i Sum = Zero, Prefix = Zero, Weighted[2] = {Zero, Zero};
    for (size_t v = 0; v < Vectors; ++v) {
      const __m512i Vector = _mm512_loadu_si512(Bytes + v * VectorBytes);
      Prefix = _mm512_add_epi32(Prefix, Sum);
      Weighted[v & 1] = _mm512_dpbusd_epi32(Weighted[v & 1], Vector, Weights);
      Sum = _mm512_add_epi32(Sum, _mm512_sad_epu8(Vector, Zero));
    }
    const size_t Block = Vectors * VectorBytes;
    Second += First * Block + VectorBytes * SumOfLanes(Prefix) +
              SumOfLanes(_mm512_add_epi32(Weighted[0], Weighted[1]));
    First += SumOfLanes(Sum);
    First %= AdlerModulus;
    Second %= AdlerModulus;
    Bytes += Block;
    Count -= Block;
  }
  for (size_t i = 0; i < Count; ++i) {
    First += Bytes[i];
    Second += First;
  }
  return static_cast<uint32_t>(Second % AdlerModulus << 16 | First % AdlerModulus);
}
#endif

} // namespace

bool UpdateAdler32On(TAdlerPath Path, uint32_t& Adler, const uint8_t* Bytes, size_t Count) {
  if (Path == apIsal) {
    Adler = UpdateWithIsal(Adler, Bytes, Count);
    return true;
  }
#ifdef VQZ_SSE2
  if (Path == apAvx512Vnni && HasAvx512Vnni()) {
    Adler = UpdateWithAvx512Vnni(Adler, Bytes, Count);
    return true;
  }
#endif
  return false;
}

uint32_t UpdateAdler32(uint32_t Adler, const uint8_t* Bytes, size_t Count) {
  if (!UpdateAdler32On(apAvx512Vnni, Adler, Bytes, Count))
    UpdateAdler32On(apIsal, Adler, Bytes, Count);
  return Adler;
}
