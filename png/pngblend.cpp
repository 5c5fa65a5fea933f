#include "png/pngblend.h"

#include "png/pngcpu.h"
#include "png/pngimage.h"

#include <cstring>

#ifdef VQZ_SSE2
#include <tmmintrin.h>
#endif

void BlendTrueColourRowPlain(uint8_t* Under, const uint8_t* Row, const uint8_t* Alpha,
                             uint32_t Width) {
  for (uint32_t X = 0; X < Width; ++X) {
    const uint32_t A = Alpha != nullptr ? Alpha[X] : 255;
    for (uint32_t Channel = 0; Channel < 3; ++Channel)
      Under[4 * X + Channel] = BlendChannel(Row[3 * X + Channel], Under[4 * X + Channel], A);
  }
}

#ifdef VQZ_SSE2

namespace {

// Two pixels at a time in 16-bit lanes: s * a + d * (255 - a) + 255 stays below 2^16. The fourth
// lane of each pixel gets alpha 0, which gives back the buffer's own byte.
VQZ_SSSE3_ROUTINE __m128i BlendTwo(__m128i Source, __m128i Dest, __m128i Alpha) {
  const __m128i Full = _mm_set1_epi16(255);
  const __m128i Sum =
      _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(Source, Alpha),
                                  _mm_mullo_epi16(Dest, _mm_sub_epi16(Full, Alpha))),
                    Full);
  return _mm_srli_epi16(Sum, 8);
}

// The rows are far bigger than the caches; asking for the bytes a few steps ahead keeps the loop
// from waiting on them. The address is computed as a number, as it may lie past the row.
void PrefetchAhead(const uint8_t* At, uintptr_t Ahead) {
  __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(At) + Ahead));
}

// SSSE3 spreads four source pixels and their alphas over the lanes in one shuffle each; the
// machine is asked once whether it has it. Four clear pixels leave the buffer as it is and four
// opaque ones replace it, as the blend gives at both ends.
VQZ_SSSE3_ROUTINE uint32_t BlendFourAtATime(uint8_t* Under, const uint8_t* Row,
                                            const uint8_t* Alpha, uint32_t Width) {
  const __m128i Zero = _mm_setzero_si128();
  const __m128i SpreadPixels = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i SpreadAlpha = _mm_setr_epi8(0, 0, 0, -1, 1, 1, 1, -1, 2, 2, 2, -1, 3, 3, 3, -1);
  const __m128i FourthBytes = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  uint32_t X = 0;
  // A load takes 16 source bytes, so the last pixels are left to the plain loop.
  for (; X + 6 <= Width; X += 4) {
    PrefetchAhead(Under + 4 * X, 1024);
    PrefetchAhead(Row + 3 * X, 768);
    const __m128i Source = _mm_shuffle_epi8(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(Row + 3 * X)), SpreadPixels);
    uint32_t FourAlphas = 0;
    std::memcpy(&FourAlphas, Alpha + X, 4);
    if (FourAlphas == 0)
      continue;
    const __m128i Dest = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Under + 4 * X));
    if (FourAlphas == 0xFFFFFFFFu) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(Under + 4 * X),
                       _mm_or_si128(Source, _mm_and_si128(Dest, FourthBytes)));
      continue;
    }
    const __m128i A =
        _mm_shuffle_epi8(_mm_cvtsi32_si128(static_cast<int32_t>(FourAlphas)), SpreadAlpha);
    const __m128i Low = BlendTwo(_mm_unpacklo_epi8(Source, Zero), _mm_unpacklo_epi8(Dest, Zero),
                                 _mm_unpacklo_epi8(A, Zero));
    const __m128i High = BlendTwo(_mm_unpackhi_epi8(Source, Zero), _mm_unpackhi_epi8(Dest, Zero),
                                  _mm_unpackhi_epi8(A, Zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Under + 4 * X), _mm_packus_epi16(Low, High));
  }
  return X;
}

} // namespace

void BlendTrueColourRow(uint8_t* Under, const uint8_t* Row, const uint8_t* Alpha, uint32_t Width) {
  if (Alpha == nullptr) {
    for (uint32_t X = 0; X < Width; ++X)
      std::memcpy(Under + 4 * X, Row + 3 * X, 3);
    return;
  }
  const uint32_t Done = HasSsse3() ? BlendFourAtATime(Under, Row, Alpha, Width) : 0;
  BlendTrueColourRowPlain(Under + 4 * Done, Row + 3 * Done, Alpha + Done, Width - Done);
}

#else

void BlendTrueColourRow(uint8_t* Under, const uint8_t* Row, const uint8_t* Alpha, uint32_t Width) {
  BlendTrueColourRowPlain(Under, Row, Alpha, Width);
}

#endif
