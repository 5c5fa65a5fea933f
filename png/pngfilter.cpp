#include "png/pngfilter.h"

#include "png/pngcpu.h"

#include <algorithm>
#include <cstdlib>

#ifdef VQZ_SSE2
#include <emmintrin.h>
#endif

void SubFilterRowPlain(const uint8_t* Raw, uint8_t* Out, uint32_t Count, uint32_t Stride) {
  for (uint32_t i = 0; i < Count; ++i)
    Out[i] = static_cast<uint8_t>(Raw[i] - (i >= Stride ? Raw[i - Stride] : 0));
}

// Sixteen bytes a subtraction where the processor allows.
void SubFilterRow(const uint8_t* Raw, uint8_t* Out, uint32_t Count, uint32_t Stride) {
  uint32_t i = 0;
  for (; i < std::min(Stride, Count); ++i)
    Out[i] = Raw[i];
#ifdef VQZ_SSE2
  for (; i + 16 <= Count; i += 16)
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(Out + i),
        _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Raw + i)),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(Raw + i - Stride))));
#endif
  for (; i < Count; ++i)
    Out[i] = static_cast<uint8_t>(Raw[i] - Raw[i - Stride]);
}

uint8_t PaethPredictor(uint8_t Left, uint8_t Above, uint8_t UpperLeft) {
  const int p = Left + Above - UpperLeft;
  const int pa = std::abs(p - Left);
  const int pb = std::abs(p - Above);
  const int pc = std::abs(p - UpperLeft);
  if (pa <= pb && pa <= pc)
    return Left;
  return pb <= pc ? Above : UpperLeft;
}
