#include "png/pngreorder.h"

#include "png/pngcpu.h"

#include <array>
#include <cstring>

#ifdef VQZ_SSE2
#include <tmmintrin.h>
#endif

void ReorderRgb8Plain(const uint8_t* Source, uint8_t* Dest, uint32_t Width) {
  for (uint32_t X = 0; X < Width; ++X) {
    Dest[3 * X] = Source[3 * X + 2];
    Dest[3 * X + 1] = Source[3 * X + 1];
    Dest[3 * X + 2] = Source[3 * X];
  }
}

void ReorderRgba8Plain(const uint8_t* Source, uint8_t* Dest, uint8_t* Alpha, uint32_t Width) {
  for (uint32_t X = 0; X < Width; ++X) {
    Dest[3 * X] = Source[4 * X + 2];
    Dest[3 * X + 1] = Source[4 * X + 1];
    Dest[3 * X + 2] = Source[4 * X];
    Alpha[X] = Source[4 * X + 3];
  }
}

#ifdef VQZ_SSE2

namespace {

using TLanes = std::array<int8_t, 16>;

__m128i LoadLanes(const TLanes& Lanes) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(Lanes.data()));
}

VQZ_SSSE3_ROUTINE __m128i Shuffle(__m128i Bytes, const TLanes& Lanes) {
  return _mm_shuffle_epi8(Bytes, LoadLanes(Lanes));
}

__m128i Load(const uint8_t* At) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(At));
}
void Store(uint8_t* At, __m128i Bytes) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(At), Bytes);
}

// Five pixels a step; each step's sixteenth byte is rewritten by the next step, so the loop
// stops while a whole 16-byte access still fits the row.
VQZ_SSSE3_ROUTINE uint32_t ReorderRgb8Ssse3(const uint8_t* Source, uint8_t* Dest, uint32_t Width) {
  static constexpr TLanes Lanes{2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15};
  uint32_t X = 0;
  for (; X + 6 <= Width; X += 5)
    Store(Dest + 3 * X, Shuffle(Load(Source + 3 * X), Lanes));
  return X;
}

// Four pixels a step: twelve blue-first bytes and the four alphas come out of one shuffle.
VQZ_SSSE3_ROUTINE uint32_t ReorderRgba8Ssse3(const uint8_t* Source, uint8_t* Dest, uint8_t* Alpha,
                                             uint32_t Width) {
  static constexpr TLanes Lanes{2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 3, 7, 11, 15};
  uint32_t X = 0;
  for (; X + 6 <= Width; X += 4) {
    const __m128i Pixels = Shuffle(Load(Source + 4 * X), Lanes);
    Store(Dest + 3 * X, Pixels);
    const int32_t Alphas = _mm_cvtsi128_si32(_mm_srli_si128(Pixels, 12));
    std::memcpy(Alpha + X, &Alphas, 4);
  }
  return X;
}

} // namespace

void ReorderRgb8(const uint8_t* Source, uint8_t* Dest, uint32_t Width) {
  const uint32_t Done = HasSsse3() ? ReorderRgb8Ssse3(Source, Dest, Width) : 0;
  ReorderRgb8Plain(Source + 3 * Done, Dest + 3 * Done, Width - Done);
}

void ReorderRgba8(const uint8_t* Source, uint8_t* Dest, uint8_t* Alpha, uint32_t Width) {
  const uint32_t Done = HasSsse3() ? ReorderRgba8Ssse3(Source, Dest, Alpha, Width) : 0;
  ReorderRgba8Plain(Source + 4 * Done, Dest + 3 * Done, Alpha + Done, Width - Done);
}

#else

void ReorderRgb8(const uint8_t* Source, uint8_t* Dest, uint32_t Width) {
  ReorderRgb8Plain(Source, Dest, Width);
}

void ReorderRgba8(const uint8_t* Source, uint8_t* Dest, uint8_t* Alpha, uint32_t Width) {
  ReorderRgba8Plain(Source, Dest, Alpha, Width);
}

#endif
