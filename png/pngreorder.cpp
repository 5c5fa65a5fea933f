#include "png/pngreorder.h"

#include "png/pngcpu.h"

#include <algorithm>
#include <array>
#include <cstring>

#ifdef VQZ_SSE2
#include <immintrin.h>
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

void SpreadRgb8Plain(const uint8_t* Source, uint8_t* Dest, uint32_t Pixels, uint32_t Step) {
  for (uint32_t K = 0; K < Pixels; ++K)
    ReorderRgb8Plain(Source + 3 * K, Dest + 3 * Step * K, 1);
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

// A vector of 64 DIB bytes takes the pixels Step apart whose three bytes fit it: one permute puts
// them in place, blue first, and a masked store writes their bytes alone.
template <uint32_t Step>
struct TSpread {
  static constexpr uint32_t Pixels = (64 - 3) / (3 * Step) + 1;
  static constexpr std::array<uint8_t, 64> Index = [] {
    std::array<uint8_t, 64> Lanes{};
    for (uint32_t K = 0; K < Pixels; ++K)
      for (uint32_t C = 0; C < 3; ++C)
        Lanes[3 * Step * K + C] = static_cast<uint8_t>(3 * K + 2 - C);
    return Lanes;
  }();
  static constexpr uint64_t WholeMask = [] {
    uint64_t Mask = 0;
    for (uint32_t K = 0; K < Pixels; ++K)
      Mask |= uint64_t{7} << (3 * Step * K);
    return Mask;
  }();
  // The DIB bytes of the first Count pixels (1..Pixels), which end below the vector's last byte.
  static uint64_t StoreMask(uint32_t Count) {
    return WholeMask & ((uint64_t{1} << (3 * Step * (Count - 1) + 3)) - 1);
  }
};

template <uint32_t Step>
VQZ_AVX512_VBMI_ROUTINE void SpreadRgb8Avx512(const uint8_t* Source, uint8_t* Dest,
                                              uint32_t Pixels) {
  using TLayout = TSpread<Step>;
  const __m512i Index = _mm512_loadu_si512(TLayout::Index.data());
  for (uint32_t K = 0; K < Pixels; K += TLayout::Pixels) {
    const uint32_t Count = std::min(Pixels - K, TLayout::Pixels);
    const __m512i Bytes = _mm512_maskz_loadu_epi8((uint64_t{1} << (3 * Count)) - 1, Source + 3 * K);
    const uint64_t Mask = TLayout::StoreMask(Count);
    _mm512_mask_storeu_epi8(Dest + 3 * Step * K, Mask,
                            _mm512_maskz_permutexvar_epi8(Mask, Index, Bytes));
  }
}

} // namespace

void SpreadRgb8(const uint8_t* Source, uint8_t* Dest, uint32_t Pixels, uint32_t Step) {
  if (!HasAvx512Vbmi() || (Step != 2 && Step != 4 && Step != 8)) {
    SpreadRgb8Plain(Source, Dest, Pixels, Step);
    return;
  }
  if (Step == 2)
    SpreadRgb8Avx512<2>(Source, Dest, Pixels);
  else if (Step == 4)
    SpreadRgb8Avx512<4>(Source, Dest, Pixels);
  else
    SpreadRgb8Avx512<8>(Source, Dest, Pixels);
}

void ReorderRgb8(const uint8_t* Source, uint8_t* Dest, uint32_t Width) {
  const uint32_t Done = HasSsse3() ? ReorderRgb8Ssse3(Source, Dest, Width) : 0;
  ReorderRgb8Plain(Source + 3 * Done, Dest + 3 * Done, Width - Done);
}

void ReorderRgba8(const uint8_t* Source, uint8_t* Dest, uint8_t* Alpha, uint32_t Width) {
  const uint32_t Done = HasSsse3() ? ReorderRgba8Ssse3(Source, Dest, Alpha, Width) : 0;
  ReorderRgba8Plain(Source + 4 * Done, Dest + 3 * Done, Alpha + Done, Width - Done);
}

#else

void SpreadRgb8(const uint8_t* Source, uint8_t* Dest, uint32_t Pixels, uint32_t Step) {
  SpreadRgb8Plain(Source, Dest, Pixels, Step);
}

void ReorderRgb8(const uint8_t* Source, uint8_t* Dest, uint32_t Width) {
  ReorderRgb8Plain(Source, Dest, Width);
}

void ReorderRgba8(const uint8_t* Source, uint8_t* Dest, uint8_t* Alpha, uint32_t Width) {
  ReorderRgba8Plain(Source, Dest, Alpha, Width);
}

#endif
