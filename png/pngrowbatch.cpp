#include "png/pngrowbatch.h"

#include "png/pngcpu.h"
#include "png/pngimage.h"
#include "png/pngunfilter.h"

#include <algorithm>
#include <cstring>

#ifdef VQZ_SSE2
#include <emmintrin.h>
#endif

namespace {

size_t SkewedPitch(uint32_t RowBytes) {
  return (RowBytes + SkewedLanes - 1 + 15) / 16 * 16;
}

uint8_t* LaneRow(uint8_t* Lanes, size_t Pitch, uint32_t k) {
  return Lanes + k * Pitch + k;
}

#ifdef VQZ_SSE2

// One round of turning a 16×16 block of bytes about its diagonal: interleaving vector i with
// vector i + 8 rotates a byte's 8-bit address (vector, byte) left by one bit, so four rounds
// swap the two halves.
[[gnu::always_inline]] inline void InterleaveRound(const __m128i (&From)[16], __m128i (&To)[16]) {
  for (int i = 0; i < 8; ++i) {
    To[2 * i] = _mm_unpacklo_epi8(From[i], From[i + 8]);
    To[2 * i + 1] = _mm_unpackhi_epi8(From[i], From[i + 8]);
  }
}

[[gnu::always_inline]] inline void Transpose(__m128i (&Block)[16]) {
  __m128i Other[16];
  InterleaveRound(Block, Other);
  InterleaveRound(Other, Block);
  InterleaveRound(Block, Other);
  InterleaveRound(Other, Block);
}

__m128i Select(__m128i Mask, __m128i IfSet, __m128i IfClear) {
  return _mm_xor_si128(IfClear, _mm_and_si128(Mask, _mm_xor_si128(IfSet, IfClear)));
}

__m128i AbsoluteDifference(__m128i A, __m128i B) {
  return _mm_or_si128(_mm_subs_epu8(A, B), _mm_subs_epu8(B, A));
}

__m128i AtMost(__m128i A, __m128i B) {
  return _mm_cmpeq_epi8(_mm_min_epu8(A, B), A);
}

// floor((a + b) / 2): the average rounds up exactly when a + b is odd.
__m128i AverageDown(__m128i A, __m128i B) {
  return _mm_sub_epi8(_mm_avg_epu8(A, B), _mm_and_si128(_mm_xor_si128(A, B), _mm_set1_epi8(1)));
}

// The predictor in bytes: p - a = b - c and p - b = a - c fit as magnitudes; p - c is their sum,
// whose magnitude is theirs added when both have the same sign (saturated, which keeps every
// comparison with the other two) and their difference otherwise.
[[gnu::always_inline]] inline __m128i PaethBytes(__m128i Left, __m128i Above, __m128i UpperLeft) {
  const __m128i Zero = _mm_setzero_si128();
  const __m128i CornerOverAbove = _mm_subs_epu8(UpperLeft, Above);
  const __m128i CornerOverLeft = _mm_subs_epu8(UpperLeft, Left);
  const __m128i ToLeft = _mm_or_si128(CornerOverAbove, _mm_subs_epu8(Above, UpperLeft));
  const __m128i ToAbove = _mm_or_si128(CornerOverLeft, _mm_subs_epu8(Left, UpperLeft));
  const __m128i SameSign =
      _mm_cmpeq_epi8(_mm_cmpeq_epi8(CornerOverAbove, Zero), _mm_cmpeq_epi8(CornerOverLeft, Zero));
  const __m128i ToUpperLeft =
      Select(SameSign, _mm_adds_epu8(ToLeft, ToAbove), AbsoluteDifference(ToLeft, ToAbove));
  const __m128i TakeLeft = _mm_and_si128(AtMost(ToLeft, ToAbove), AtMost(ToLeft, ToUpperLeft));
  return Select(TakeLeft, Left, Select(AtMost(ToAbove, ToUpperLeft), Above, UpperLeft));
}

struct TLaneMasks {
  __m128i Sub, Up, Average, Paeth;
};

TLaneMasks MasksFor(const uint8_t* Types) {
  alignas(16) uint8_t Masks[4][SkewedLanes] = {};
  for (uint32_t k = 1; k < SkewedLanes; ++k)
    if (Types[k] >= ftSub && Types[k] <= ftPaeth)
      Masks[Types[k] - ftSub][k] = 0xFF;
  const auto Load = [&](int i) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(Masks[i]));
  };
  return {Load(0), Load(1), Load(2), Load(3)};
}

// Step s undoes column s - k of every lane k: the left bytes are the previous step's results,
// the bytes above are those shifted down a lane, the upper-left ones the previous step's above.
template <bool WithAverage, bool WithPaeth>
void UnfilterTogetherSse2(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count) {
  const TLaneMasks Masks = MasksFor(Types);
  __m128i Left = _mm_setzero_si128(), UpperLeft = _mm_setzero_si128();
  for (uint32_t Column = 0; Column < Count + SkewedLanes - 1; Column += 16) {
    __m128i Block[16];
    for (uint32_t k = 0; k < SkewedLanes; ++k)
      Block[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(Lanes + k * Pitch + Column));
    Transpose(Block);
    for (__m128i& Step : Block) {
      const __m128i Above = _mm_slli_si128(Left, 1);
      __m128i Predicted =
          _mm_or_si128(_mm_and_si128(Masks.Sub, Left), _mm_and_si128(Masks.Up, Above));
      if constexpr (WithAverage)
        Predicted = _mm_or_si128(Predicted, _mm_and_si128(Masks.Average, AverageDown(Left, Above)));
      if constexpr (WithPaeth)
        Predicted =
            _mm_or_si128(Predicted, _mm_and_si128(Masks.Paeth, PaethBytes(Left, Above, UpperLeft)));
      Left = _mm_add_epi8(Step, Predicted);
      UpperLeft = Above;
      Step = Left;
    }
    Transpose(Block);
    for (uint32_t k = 0; k < SkewedLanes; ++k)
      _mm_store_si128(reinterpret_cast<__m128i*>(Lanes + k * Pitch + Column), Block[k]);
  }
}

#endif

// What a column costs, in tenths of a nanosecond as measured on 2048-byte rows: one row's chain
// per filter type (None, Sub, Up, Average, Paeth), and the lanes side by side, whose transposes
// cost the same whatever the types.
constexpr uint32_t ChainCost[FilterTypeCount] = {0, 3, 0, 11, 30};
constexpr uint32_t TogetherBaseCost = 44;
constexpr uint32_t TogetherAverageCost = 8;
constexpr uint32_t TogetherPaethCost = 52;

} // namespace

void UnfilterSkewedPlain(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count) {
  for (uint32_t k = 1; k < SkewedLanes; ++k)
    UnfilterRow(Types[k], 1, LaneRow(Lanes, Pitch, k), LaneRow(Lanes, Pitch, k - 1), Count);
}

void UnfilterSkewedTogether(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count) {
#ifdef VQZ_SSE2
  bool WithAverage = false, WithPaeth = false;
  for (uint32_t k = 1; k < SkewedLanes; ++k) {
    WithAverage |= Types[k] == ftAverage;
    WithPaeth |= Types[k] == ftPaeth;
  }
  if (WithPaeth)
    return WithAverage ? UnfilterTogetherSse2<true, true>(Lanes, Pitch, Types, Count)
                       : UnfilterTogetherSse2<false, true>(Lanes, Pitch, Types, Count);
  return WithAverage ? UnfilterTogetherSse2<true, false>(Lanes, Pitch, Types, Count)
                     : UnfilterTogetherSse2<false, false>(Lanes, Pitch, Types, Count);
#else
  UnfilterSkewedPlain(Lanes, Pitch, Types, Count);
#endif
}

void UnfilterSkewed(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count) {
  uint32_t ChainsCost = 0;
  bool WithAverage = false, WithPaeth = false;
  for (uint32_t k = 1; k < SkewedLanes; ++k) {
    ChainsCost += Types[k] <= ftPaeth ? ChainCost[Types[k]] : 0;
    WithAverage |= Types[k] == ftAverage;
    WithPaeth |= Types[k] == ftPaeth;
  }
  const uint32_t TogetherCost = TogetherBaseCost + (WithAverage ? TogetherAverageCost : 0) +
                                (WithPaeth ? TogetherPaethCost : 0);
  if ((WithAverage || WithPaeth) && TogetherCost < ChainsCost)
    UnfilterSkewedTogether(Lanes, Pitch, Types, Count);
  else
    UnfilterSkewedPlain(Lanes, Pitch, Types, Count);
}

TRowBatch::TRowBatch(uint32_t RowBytes, uint32_t PixelBits)
    : Count(RowBytes), Stride(std::max(PixelBits / 8, 1u)),
      Skewed(PixelBits == 8 && RowBytes <= MaxSkewedRowBytes),
      Pitch(Skewed ? SkewedPitch(RowBytes) : size_t{RowBytes} + 1),
      Storage(std::make_unique<uint8_t[]>(Skewed ? SkewedLanes * Pitch + 15
                                                 : (MaxPairedRows + 1) * Pitch)) {
  if (Skewed) {
    Lanes = Storage.get() + (-reinterpret_cast<uintptr_t>(Storage.get()) & 15);
  } else {
    for (uint32_t k = 0; k <= MaxPairedRows; ++k)
      Slots[k] = Storage.get() + k * Pitch;
  }
}

// The last row undone becomes the row above; the other slots take the next batch.
void TRowBatch::UnfilterPaired(uint32_t Rows) {
  uint8_t* const Above = Slots[0];
  if (Rows == MaxPairedRows)
    UnfilterRowPair({Slots[1][0], Slots[2][0]}, Stride, Slots[1] + 1, Slots[2] + 1, Above + 1,
                    Count);
  else
    UnfilterRow(Slots[1][0], Stride, Slots[1] + 1, Above + 1, Count);
  std::copy(Slots + 1, Slots + 1 + Rows, Undone);
  std::rotate(Slots, Slots + Rows, Slots + MaxPairedRows + 1);
}

// In the skewed layout the filter byte sits just before its row, where the skew keeps zeros: it
// is cleared again, and the last row is copied up to lane 0.
void TRowBatch::Unfilter(uint32_t Rows) {
  if (!Skewed) {
    UnfilterPaired(Rows);
    return;
  }
  uint8_t Types[SkewedLanes] = {};
  for (uint32_t k = 1; k <= Rows; ++k) {
    uint8_t* FilterByte = Lane(k) + k - 1;
    Types[k] = *FilterByte;
    *FilterByte = 0;
  }
  UnfilterSkewed(Lanes, Pitch, Types, Count);
  std::memcpy(Lane(0), Row(Rows - 1), Count);
}
