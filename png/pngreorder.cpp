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

void ReorderRgb16Plain(const uint8_t* Source, uint8_t* Dest, uint32_t Width) {
  for (uint32_t X = 0; X < Width; ++X) {
    Dest[3 * X] = Source[6 * X + 4];
    Dest[3 * X + 1] = Source[6 * X + 2];
    Dest[3 * X + 2] = Source[6 * X];
  }
}

void ReorderRgb8EveryOtherPlain(const uint8_t* Source, uint8_t* Dest, uint32_t Count) {
  for (uint32_t K = 0; K < Count; ++K) {
    Dest[6 * K] = Source[3 * K + 2];
    Dest[6 * K + 1] = Source[3 * K + 1];
    Dest[6 * K + 2] = Source[3 * K];
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

// The lanes that pick, for output bytes First..First+15 of an eight-pixel step, the high bytes
// that lie in the source's 16-byte block Block (−1 where the byte lies elsewhere).
constexpr TLanes HighByteLanes(int First, int Block) {
  TLanes Lanes{};
  for (int Out = 0; Out < 16; ++Out) {
    const int Byte = First + Out, Pixel = Byte / 3, Channel = 2 - Byte % 3;
    const int From = 6 * Pixel + 2 * Channel;
    Lanes[static_cast<size_t>(Out)] =
        Byte < 24 && From / 16 == Block ? static_cast<int8_t>(From % 16) : int8_t{-1};
  }
  return Lanes;
}

// Eight pixels (48 source bytes) a step give 24 bytes, written as two 16-byte stores.
VQZ_SSSE3_ROUTINE uint32_t ReorderRgb16Ssse3(const uint8_t* Source, uint8_t* Dest, uint32_t Width) {
  static constexpr std::array<TLanes, 6> Lanes{HighByteLanes(0, 0),  HighByteLanes(0, 1),
                                               HighByteLanes(0, 2),  HighByteLanes(16, 0),
                                               HighByteLanes(16, 1), HighByteLanes(16, 2)};
  uint32_t X = 0;
  for (; X + 11 <= Width; X += 8) {
    const __m128i A = Load(Source + 6 * X), B = Load(Source + 6 * X + 16),
                  C = Load(Source + 6 * X + 32);
    Store(Dest + 3 * X, _mm_or_si128(_mm_or_si128(Shuffle(A, Lanes[0]), Shuffle(B, Lanes[1])),
                                     Shuffle(C, Lanes[2])));
    Store(Dest + 3 * X + 16, _mm_or_si128(_mm_or_si128(Shuffle(A, Lanes[3]), Shuffle(B, Lanes[4])),
                                          Shuffle(C, Lanes[5])));
  }
  return X;
}

// The lanes that pick, for bytes First..First+15 of an eight-pixel step spread two pixels apart,
// the source bytes within the 16 that begin at source byte From (-1 for the bytes between the
// pixels and for those that lie in the other 16).
constexpr TLanes SpreadLanes(int First, int From) {
  TLanes Lanes{};
  for (int Out = 0; Out < 16; ++Out) {
    const int Byte = First + Out, Channel = Byte % 6, Picked = 3 * (Byte / 6) + 2 - Channel;
    const bool Here = From == 0 ? Picked < 16 : Picked >= 16;
    Lanes[static_cast<size_t>(Out)] =
        Channel < 3 && Here ? static_cast<int8_t>(Picked - From) : int8_t{-1};
  }
  return Lanes;
}

// All ones on the bytes between the pixels, which are kept.
constexpr TLanes KeptLanes(int First) {
  TLanes Lanes{};
  for (int Out = 0; Out < 16; ++Out)
    Lanes[static_cast<size_t>(Out)] = (First + Out) % 6 >= 3 ? int8_t{-1} : int8_t{0};
  return Lanes;
}

// Eight pixels (24 source bytes) a step fill three 16-byte blocks, each merged with the bytes
// already there. The step stops while a pixel follows its eighth, so the last block's kept
// bytes are still inside the row.
VQZ_SSSE3_ROUTINE uint32_t ReorderRgb8EveryOtherSsse3(const uint8_t* Source, uint8_t* Dest,
                                                      uint32_t Count) {
  static constexpr std::array<TLanes, 6> Lanes{SpreadLanes(0, 0),  SpreadLanes(0, 8),
                                               SpreadLanes(16, 0), SpreadLanes(16, 8),
                                               SpreadLanes(32, 0), SpreadLanes(32, 8)};
  static constexpr std::array<TLanes, 3> Kept{KeptLanes(0), KeptLanes(16), KeptLanes(32)};
  uint32_t K = 0;
  for (; K + 9 <= Count; K += 8) {
    const __m128i Low = Load(Source + 3 * K), High = Load(Source + 3 * K + 8);
    for (size_t Block = 0; Block < 3; ++Block) {
      uint8_t* At = Dest + 6 * K + 16 * Block;
      const __m128i Ours =
          _mm_or_si128(Shuffle(Low, Lanes[2 * Block]), Shuffle(High, Lanes[2 * Block + 1]));
      const __m128i Others = _mm_and_si128(Load(At), LoadLanes(Kept[Block]));
      Store(At, _mm_or_si128(Ours, Others));
    }
  }
  return K;
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

void ReorderRgb16(const uint8_t* Source, uint8_t* Dest, uint32_t Width) {
  const uint32_t Done = HasSsse3() ? ReorderRgb16Ssse3(Source, Dest, Width) : 0;
  ReorderRgb16Plain(Source + 6 * Done, Dest + 3 * Done, Width - Done);
}

void ReorderRgb8EveryOther(const uint8_t* Source, uint8_t* Dest, uint32_t Count) {
  const uint32_t Done = HasSsse3() ? ReorderRgb8EveryOtherSsse3(Source, Dest, Count) : 0;
  ReorderRgb8EveryOtherPlain(Source + 3 * Done, Dest + 6 * Done, Count - Done);
}

#else

void ReorderRgb8(const uint8_t* Source, uint8_t* Dest, uint32_t Width) {
  ReorderRgb8Plain(Source, Dest, Width);
}

void ReorderRgba8(const uint8_t* Source, uint8_t* Dest, uint8_t* Alpha, uint32_t Width) {
  ReorderRgba8Plain(Source, Dest, Alpha, Width);
}

void ReorderRgb16(const uint8_t* Source, uint8_t* Dest, uint32_t Width) {
  ReorderRgb16Plain(Source, Dest, Width);
}

void ReorderRgb8EveryOther(const uint8_t* Source, uint8_t* Dest, uint32_t Count) {
  ReorderRgb8EveryOtherPlain(Source, Dest, Count);
}

#endif
