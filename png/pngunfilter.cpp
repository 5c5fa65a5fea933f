#include "png/pngunfilter.h"

#include "png/pngcpu.h"
#include "png/pngfilter.h"
#include "png/pngimage.h"

#include <algorithm>
#include <cstdlib>

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

// Sub, Average and Paeth with SSE2 (part of every x86-64 processor) for pixels of 3, 4 and 6
// bytes: each pixel is one lane group of one access, so its channels advance together and the
// chain from pixel to pixel stays in a register, a few instructions long, where the compiler's
// byte loops carry it through memory, a store and a load per byte. Measured against those loops,
// each filter on its own: all pay, but Paeth on 3-byte pixels.

// The bytes a pixel of S bytes is loaded and stored with: the next 4 or 8.
template <uint32_t S>
constexpr uint32_t AccessBytes = S <= 4 ? 4 : 8;

template <uint32_t S>
__m128i LoadPixel(const uint8_t* At) {
  static_assert(S >= 3 && S <= AccessBytes<S>);
  if constexpr (AccessBytes<S> == 8)
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(At));
  return _mm_loadu_si32(At);
}

template <uint32_t S>
void StorePixel(uint8_t* At, __m128i Pixel) {
  if constexpr (AccessBytes<S> == 8) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(At), Pixel);
  } else {
    _mm_storeu_si32(At, Pixel);
  }
}

// The chains of the filters that have one, a pixel at a time: each turns a pixel's filtered bytes
// and the address of the bytes above it into its unfiltered bytes, keeping the pixel to its left.
template <uint32_t S>
struct TSubChain {
  __m128i operator()(__m128i Filtered, const uint8_t*) {
    Left = _mm_add_epi8(Left, Filtered);
    return Left;
  }
  __m128i Left = _mm_setzero_si128();
};

// floor((a + b) / 2) is ~avg(~a, ~b), avg rounding up; so the chain carries ~a, and each pixel
// costs one average and one subtraction on it.
template <uint32_t S>
struct TAverageChain {
  __m128i operator()(__m128i Filtered, const uint8_t* Above) {
    const __m128i Ones = _mm_set1_epi8(-1);
    NotLeft =
        _mm_sub_epi8(_mm_avg_epu8(NotLeft, _mm_xor_si128(LoadPixel<S>(Above), Ones)), Filtered);
    return _mm_xor_si128(NotLeft, Ones);
  }
  __m128i NotLeft = _mm_set1_epi8(-1);
};

inline __m128i Abs16(__m128i Value) {
  return _mm_max_epi16(Value, _mm_sub_epi16(_mm_setzero_si128(), Value));
}

inline __m128i Select(__m128i Mask, __m128i IfSet, __m128i IfClear) {
  return _mm_or_si128(_mm_and_si128(Mask, IfSet), _mm_andnot_si128(Mask, IfClear));
}

// The predictor in 16-bit lanes, with the same distances as the plain one; the pixel above is
// the next pixel's upper left.
template <uint32_t S>
struct TPaethChain {
  __m128i operator()(__m128i Filtered, const uint8_t* AboveBytes) {
    const __m128i Zero = _mm_setzero_si128();
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
    Left = _mm_and_si128(_mm_add_epi16(_mm_unpacklo_epi8(Filtered, Zero), Predicted),
                         _mm_set1_epi16(0xFF));
    UpperLeft = Above;
    return _mm_packus_epi16(Left, Left);
  }
  __m128i Left = _mm_setzero_si128();
  __m128i UpperLeft = _mm_setzero_si128();
};

bool HasChain(uint8_t Type) {
  return Type == ftSub || Type == ftAverage || Type == ftPaeth;
}

// Calls Use with the chain of Type, if it has one.
template <uint32_t S, typename TUse>
void WithChain(uint8_t Type, TUse Use) {
  switch (Type) {
  case ftSub:
    return Use(TSubChain<S>{});
  case ftAverage:
    return Use(TAverageChain<S>{});
  case ftPaeth:
    return Use(TPaethChain<S>{});
  default:
    return;
  }
}

// A row walked a pixel per step, over the whole pixels whose access stays inside it. A pixel
// narrower than its access spills its store into the next pixel, which has been loaded before
// and is written back whole by Finish.
template <uint32_t S, typename TChain>
class TRowWalk {
public:
  TRowWalk(uint8_t* Row, const uint8_t* Up) : At(Row), Above(Up), Filtered(LoadPixel<S>(Row)) {}
  // The pixels walked in a row of Count bytes.
  static uint32_t Pixels(uint32_t Count) {
    return Count < S + AccessBytes<S> ? 0 : (Count - AccessBytes<S>) / S;
  }
  void Step() {
    const __m128i Next = LoadPixel<S>(At + S);
    StorePixel<S>(At, Chain(Filtered, Above));
    Filtered = Next;
    At += S;
    Above += S;
  }
  void Finish() { StorePixel<S>(At, Filtered); }

private:
  uint8_t* At;
  const uint8_t* Above;
  __m128i Filtered;
  TChain Chain;
};

// Returns the bytes done.
template <uint32_t S, typename TChain>
uint32_t UnfilterSse2(uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  const uint32_t Pixels = TRowWalk<S, TChain>::Pixels(Count);
  if (Pixels == 0)
    return 0;
  TRowWalk<S, TChain> Walk(Row, Up);
  // Counted, so that the unrolled body tests once per four pixels.
#pragma GCC unroll 4
  for (uint32_t p = 0; p < Pixels; ++p)
    Walk.Step();
  Walk.Finish();
  return Pixels * S;
}

// Two rows, Second below First: Second walks Lag pixels behind, reading the bytes above it after
// First stored them, so the two chains are independent and run side by side, taking little more
// time than one. Returns the bytes done in each row.
template <uint32_t S, typename TFirstChain, typename TSecondChain>
uint32_t UnfilterPairSse2(uint8_t* First, uint8_t* Second, const uint8_t* Up, uint32_t Count) {
  constexpr uint32_t Lag = 16;
  const uint32_t Pixels = TRowWalk<S, TFirstChain>::Pixels(Count);
  if (Pixels == 0)
    return 0;
  const uint32_t Ahead = std::min(Lag, Pixels);
  TRowWalk<S, TFirstChain> Upper(First, Up);
  TRowWalk<S, TSecondChain> Lower(Second, First);
  for (uint32_t p = 0; p < Ahead; ++p)
    Upper.Step();
  for (uint32_t p = Ahead; p < Pixels; ++p) {
    Upper.Step();
    Lower.Step();
  }
  Upper.Finish();
  for (uint32_t p = Pixels - Ahead; p < Pixels; ++p)
    Lower.Step();
  Lower.Finish();
  return Pixels * S;
}

template <uint32_t S>
void UnfilterWide(uint8_t Type, uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  uint32_t Done = 0;
  if (S != 3 || Type != ftPaeth)
    WithChain<S>(Type,
                 [&](auto Chain) { Done = UnfilterSse2<S, decltype(Chain)>(Row, Up, Count); });
  Unfilter<S, Paeth>(Type, S, Row, Up, Count, Done);
}

// Rows with a chain each go side by side; the others one after the other.
template <uint32_t S>
void UnfilterPairWide(const uint8_t (&Types)[2], uint8_t* First, uint8_t* Second, const uint8_t* Up,
                      uint32_t Count) {
  if (!HasChain(Types[0]) || !HasChain(Types[1])) {
    UnfilterWide<S>(Types[0], First, Up, Count);
    UnfilterWide<S>(Types[1], Second, First, Count);
    return;
  }
  uint32_t Done = 0;
  WithChain<S>(Types[0], [&](auto FirstChain) {
    WithChain<S>(Types[1], [&](auto SecondChain) {
      Done = UnfilterPairSse2<S, decltype(FirstChain), decltype(SecondChain)>(First, Second, Up,
                                                                              Count);
    });
  });
  Unfilter<S, Paeth>(Types[0], S, First, Up, Count, Done);
  Unfilter<S, Paeth>(Types[1], S, Second, First, Count, Done);
}

#else

template <uint32_t S>
void UnfilterWide(uint8_t Type, uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  Unfilter<S, Paeth>(Type, S, Row, Up, Count);
}

#endif

} // namespace

// The definition: any width, and the PNG standard's predictor as written.
void UnfilterRowPlain(uint8_t Type, uint32_t Stride, uint8_t* Row, const uint8_t* Up,
                      uint32_t Count) {
  Unfilter<0, StandardPaeth>(Type, Stride, Row, Up, Count);
}

void UnfilterRow(uint8_t Type, uint32_t Stride, uint8_t* Row, const uint8_t* Up, uint32_t Count) {
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
    return Unfilter<8, Paeth>(Type, Stride, Row, Up, Count);
  default:
    return UnfilterRowPlain(Type, Stride, Row, Up, Count);
  }
}

void UnfilterRowPair(const uint8_t (&Types)[2], uint32_t Stride, uint8_t* First, uint8_t* Second,
                     const uint8_t* Up, uint32_t Count) {
#ifdef VQZ_SSE2
  switch (Stride) {
  case 3:
    return UnfilterPairWide<3>(Types, First, Second, Up, Count);
  case 4:
    return UnfilterPairWide<4>(Types, First, Second, Up, Count);
  case 6:
    return UnfilterPairWide<6>(Types, First, Second, Up, Count);
  default:
    break;
  }
#endif
  UnfilterRow(Types[0], Stride, First, Up, Count);
  UnfilterRow(Types[1], Stride, Second, First, Count);
}
