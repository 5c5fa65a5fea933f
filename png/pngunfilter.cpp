#include "png/pngunfilter.h"

#include "png/pngcpu.h"
#include "png/pngfilter.h"
#include "png/pngimage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifdef VQZ_SSE2
#include <emmintrin.h>
#endif

namespace {

// The predictor with the PNG standard's ties, without branches: p - a = b - c, p - b = a - c and
// p - c = a + b - 2c.
uint8_t Paeth(int Left, int Above, int UpperLeft) {
  const int ToLeft = std::abs(Above - UpperLeft);
  const int ToAbove = std::abs(Left - UpperLeft);
  const int ToUpperLeft = std::abs(Left + Above - 2 * UpperLeft);
  const int Nearer = ToAbove <= ToUpperLeft ? Above : UpperLeft;
  return static_cast<uint8_t>(ToLeft <= ToAbove && ToLeft <= ToUpperLeft ? Left : Nearer);
}

uint8_t StandardPaeth(int Left, int Above, int UpperLeft) {
  return PaethPredictor(static_cast<uint8_t>(Left), static_cast<uint8_t>(Above),
                        static_cast<uint8_t>(UpperLeft));
}

// With the pixel width S known at compile time, each pixel's channels are independent chains the
// compiler keeps in registers side by side; S = 0 takes the width from Stride. The bytes before
// From are already done.
template <uint32_t S, uint8_t (*Predict)(int, int, int)>
void Unfilter(uint8_t Type, uint32_t Stride, uint8_t* Row, const uint8_t* Up, uint32_t Count,
              uint32_t From = 0) {
  const uint32_t s = S != 0 ? S : Stride;
  const uint32_t First = std::min(s, Count);
  const uint32_t Rest = std::max(s, From);
  switch (Type) {
  case ftSub:
    for (uint32_t i = Rest; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Row[i - s]);
    break;
  case ftUp:
    for (uint32_t i = From; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Up[i]);
    break;
  case ftAverage:
    for (uint32_t i = From; i < First; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Up[i] / 2);
    for (uint32_t i = Rest; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + (Up[i] + Row[i - s]) / 2);
    break;
  case ftPaeth:
    for (uint32_t i = From; i < First; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Up[i]);
    for (uint32_t i = Rest; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Predict(Row[i - s], Up[i], Up[i - s]));
    break;
  default:
    break;
  }
}

#ifdef VQZ_SSE2

// Sub, Average and Paeth for 3-, 4-, 6- and 8-byte pixels with SSE2 (part of every x86-64
// processor): each pixel is one lane group of a 4- or 8-byte access, so its channels advance
// together and the chain from pixel to pixel is a few instructions long.

// The bytes a pixel of S bytes is loaded and stored with.
template <uint32_t S>
constexpr uint32_t AccessBytes = S <= 4 ? 4 : 8;

template <uint32_t S>
__m128i LoadPixel(const uint8_t* At) {
  if constexpr (AccessBytes<S> == 4) {
    int32_t Bytes = 0;
    std::memcpy(&Bytes, At, 4);
    return _mm_cvtsi32_si128(Bytes);
  } else {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(At));
  }
}

template <uint32_t S>
void StorePixel(uint8_t* At, __m128i Bytes) {
  if constexpr (AccessBytes<S> == 4) {
    const int32_t Low = _mm_cvtsi128_si32(Bytes);
    std::memcpy(At, &Low, 4);
  } else {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(At), Bytes);
  }
}

// Walks the whole pixels whose access stays inside the row; Step turns a pixel's filtered bytes
// and the address of the bytes above it into its unfiltered bytes. A 3- or 6-byte pixel's store
// spills into the next pixel, which has been loaded before and is written back whole where the
// walk stops. Returns the bytes done.
template <uint32_t S, typename TStep>
uint32_t WalkPixels(uint8_t* Row, const uint8_t* Up, uint32_t Count, TStep Step) {
  constexpr uint32_t Access = AccessBytes<S>;
  if (Count < S + Access)
    return 0;
  uint8_t* At = Row;
  const uint8_t* const LastStart = Row + (Count - S - Access);
  __m128i Filtered = LoadPixel<S>(At);
#pragma GCC unroll 4
  for (; At <= LastStart; At += S, Up += S) {
    const __m128i Next = LoadPixel<S>(At + S);
    StorePixel<S>(At, Step(Filtered, Up));
    Filtered = Next;
  }
  StorePixel<S>(At, Filtered);
  return static_cast<uint32_t>(At - Row);
}

template <uint32_t S>
uint32_t UnfilterSubSse2(uint8_t* Row, uint32_t Count) {
  __m128i Left = _mm_setzero_si128();
  return WalkPixels<S>(Row, Row, Count, [&](__m128i Filtered, const uint8_t*) {
    Left = _mm_add_epi8(Left, Filtered);
    return Left;
  });
}

// floor((a + b) / 2) is ~avg(~a, ~b), avg rounding up; so the chain carries ~a, and each pixel
// costs one average and one subtraction on it. Returns the pixel undone.
__attribute__((always_inline)) inline __m128i AverageNext(__m128i& NotLeft, __m128i Filtered,
                                                          __m128i Above) {
  const __m128i Ones = _mm_set1_epi8(-1);
  NotLeft = _mm_sub_epi8(_mm_avg_epu8(NotLeft, _mm_xor_si128(Above, Ones)), Filtered);
  return _mm_xor_si128(NotLeft, Ones);
}

template <uint32_t S>
uint32_t UnfilterAverageSse2(uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  __m128i NotLeft = _mm_set1_epi8(-1);
  return WalkPixels<S>(Row, Up, Count, [&](__m128i Filtered, const uint8_t* Above) {
    return AverageNext(NotLeft, Filtered, LoadPixel<S>(Above));
  });
}

// Four Average rows of the same width at once: each row waits a pixel behind the one above it,
// so the four chains run side by side. Within a step the lowest row goes first, so that its load
// of the bytes above comes before the row above spills its next store into them. The pixels the
// walk leaves at the ends are finished row after row, top first.
struct TAverageLane {
  uint8_t* Row;
  const uint8_t* Up;
  __m128i NotLeft;
  __m128i Next;
};

template <uint32_t S>
__attribute__((always_inline)) inline void AverageStep(TAverageLane& Lane, uint32_t Pixel) {
  uint8_t* At = Lane.Row + Pixel * S;
  const __m128i Filtered = Lane.Next;
  Lane.Next = LoadPixel<S>(At + S);
  StorePixel<S>(At, AverageNext(Lane.NotLeft, Filtered, LoadPixel<S>(Lane.Up + Pixel * S)));
}

template <uint32_t S>
void UnfilterFourAverageRowsSse2(uint8_t* const* Rows, const uint8_t* Up, uint32_t Count) {
  constexpr uint32_t Access = AccessBytes<S>;
  const uint32_t Pixels = Count >= S + Access ? (Count - Access) / S : 0;
  if (Pixels > 0) {
    TAverageLane L0{Rows[0], Up, _mm_set1_epi8(-1), LoadPixel<S>(Rows[0])};
    TAverageLane L1{Rows[1], Rows[0], L0.NotLeft, LoadPixel<S>(Rows[1])};
    TAverageLane L2{Rows[2], Rows[1], L0.NotLeft, LoadPixel<S>(Rows[2])};
    TAverageLane L3{Rows[3], Rows[2], L0.NotLeft, LoadPixel<S>(Rows[3])};
    for (uint32_t Step = 0; Step < Pixels + 3; ++Step) {
      if (Step >= 3 && Step < Pixels) {
        AverageStep<S>(L3, Step - 3);
        AverageStep<S>(L2, Step - 2);
        AverageStep<S>(L1, Step - 1);
        AverageStep<S>(L0, Step);
        continue;
      }
      if (Step - 3 < Pixels)
        AverageStep<S>(L3, Step - 3);
      if (Step - 2 < Pixels)
        AverageStep<S>(L2, Step - 2);
      if (Step - 1 < Pixels)
        AverageStep<S>(L1, Step - 1);
      if (Step < Pixels)
        AverageStep<S>(L0, Step);
    }
    for (const TAverageLane* Lane : {&L0, &L1, &L2, &L3})
      StorePixel<S>(Lane->Row + Pixels * S, Lane->Next);
  }
  for (uint32_t k = 0; k < 4; ++k)
    Unfilter<S, Paeth>(3, S, Rows[k], k == 0 ? Up : Rows[k - 1], Count, Pixels * S);
}

__m128i Abs16(__m128i Value) {
  return _mm_max_epi16(Value, _mm_sub_epi16(_mm_setzero_si128(), Value));
}

__m128i Select(__m128i Mask, __m128i IfSet, __m128i IfClear) {
  return _mm_or_si128(_mm_and_si128(Mask, IfSet), _mm_andnot_si128(Mask, IfClear));
}

// The predictor in 16-bit lanes, with the same distances as the plain one; the pixel above is
// the next pixel's upper left.
template <uint32_t S>
uint32_t UnfilterPaethSse2(uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  const __m128i Zero = _mm_setzero_si128();
  const __m128i LowBytes = _mm_set1_epi16(0xFF);
  __m128i Left = Zero, UpperLeft = Zero;
  return WalkPixels<S>(Row, Up, Count, [&](__m128i Filtered, const uint8_t* AboveBytes) {
    const __m128i Above = _mm_unpacklo_epi8(LoadPixel<S>(AboveBytes), Zero);
    const __m128i AboveLessCorner = _mm_sub_epi16(Above, UpperLeft);
    const __m128i LeftLessCorner = _mm_sub_epi16(Left, UpperLeft);
    const __m128i ToLeft = Abs16(AboveLessCorner);
    const __m128i ToAbove = Abs16(LeftLessCorner);
    const __m128i ToUpperLeft = Abs16(_mm_add_epi16(LeftLessCorner, AboveLessCorner));
    const __m128i NotLeft =
        _mm_or_si128(_mm_cmpgt_epi16(ToLeft, ToAbove), _mm_cmpgt_epi16(ToLeft, ToUpperLeft));
    const __m128i Nearer = Select(_mm_cmpgt_epi16(ToAbove, ToUpperLeft), UpperLeft, Above);
    const __m128i Predicted = Select(NotLeft, Nearer, Left);
    Left = _mm_and_si128(_mm_add_epi16(_mm_unpacklo_epi8(Filtered, Zero), Predicted), LowBytes);
    UpperLeft = Above;
    return _mm_packus_epi16(Left, Left);
  });
}

// Up has no chain at all: sixteen bytes an addition, whatever the pixel width.
uint32_t UnfilterUpSse2(uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  uint32_t i = 0;
  for (; i + 16 <= Count; i += 16) {
    const __m128i Filtered = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Row + i));
    const __m128i Above = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Up + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Row + i), _mm_add_epi8(Filtered, Above));
  }
  return i;
}

template <uint32_t S>
void UnfilterWide(uint8_t Type, uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  uint32_t Done = 0;
  switch (Type) {
  case ftSub:
    Done = UnfilterSubSse2<S>(Row, Count);
    break;
  case ftAverage:
    Done = UnfilterAverageSse2<S>(Row, Up, Count);
    break;
  case ftPaeth:
    Done = UnfilterPaethSse2<S>(Row, Up, Count);
    break;
  default:
    break;
  }
  Unfilter<S, Paeth>(Type, S, Row, Up, Count, Done);
}

#else

template <uint32_t S>
void UnfilterWide(uint8_t Type, uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  Unfilter<S, Paeth>(Type, S, Row, Up, Count);
}

#endif

// Four rows side by side where that is written; false leaves them to be done row by row.
bool UnfilterFourAverageRows(uint32_t Stride, uint8_t* const* Rows, const uint8_t* Up,
                             uint32_t Count) {
#ifdef VQZ_SSE2
  switch (Stride) {
  case 3:
    UnfilterFourAverageRowsSse2<3>(Rows, Up, Count);
    return true;
  case 4:
    UnfilterFourAverageRowsSse2<4>(Rows, Up, Count);
    return true;
  case 6:
    UnfilterFourAverageRowsSse2<6>(Rows, Up, Count);
    return true;
  case 8:
    UnfilterFourAverageRowsSse2<8>(Rows, Up, Count);
    return true;
  default:
    return false;
  }
#else
  return false;
#endif
}

} // namespace

// The definition: any width, and the PNG standard's predictor as written.
void UnfilterRowPlain(uint8_t Type, uint32_t Stride, uint8_t* Row, const uint8_t* Up,
                      uint32_t Count) {
  Unfilter<0, StandardPaeth>(Type, Stride, Row, Up, Count);
}

void UnfilterRow(uint8_t Type, uint32_t Stride, uint8_t* Row, const uint8_t* Up, uint32_t Count) {
#ifdef VQZ_SSE2
  if (Type == ftUp)
    return Unfilter<1, Paeth>(Type, 1, Row, Up, Count, UnfilterUpSse2(Row, Up, Count));
#endif
  switch (Stride) {
  case 1:
    return Unfilter<1, Paeth>(Type, Stride, Row, Up, Count);
  case 2:
    return Unfilter<2, Paeth>(Type, Stride, Row, Up, Count);
  case 3:
    return UnfilterWide<3>(Type, Row, Up, Count);
  case 4:
    return UnfilterWide<4>(Type, Row, Up, Count);
  case 6:
    return UnfilterWide<6>(Type, Row, Up, Count);
  case 8:
    return UnfilterWide<8>(Type, Row, Up, Count);
  default:
    return UnfilterRowPlain(Type, Stride, Row, Up, Count);
  }
}

void UnfilterRows(uint32_t Stride, const uint8_t* Types, uint8_t* const* Rows, const uint8_t* Up,
                  uint32_t RowCount, uint32_t Count) {
  const bool FourAverage = RowCount == 4 && std::all_of(Types, Types + 4, [](uint8_t Type) {
                             return Type == ftAverage;
                           });
  if (FourAverage && UnfilterFourAverageRows(Stride, Rows, Up, Count))
    return;
  for (uint32_t k = 0; k < RowCount; ++k)
    UnfilterRow(Types[k], Stride, Rows[k], k == 0 ? Up : Rows[k - 1], Count);
}
