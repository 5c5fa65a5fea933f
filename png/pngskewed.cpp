#include "png/pngskewed.h"

#include "png/pngcpu.h"
#include "png/pngimage.h"
#include "png/pngunfilter.h"

#include <array>

#ifdef VQZ_SSE2
#include <immintrin.h>
#endif

namespace {

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
[[gnu::always_inline]] inline void UndoSteps(__m128i (&Block)[16], const TLaneMasks& Masks,
                                             __m128i& Left, __m128i& UpperLeft) {
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
}

__m128i* LaneBlock(uint8_t* Lanes, size_t Pitch, uint32_t k, uint32_t Column) {
  return reinterpret_cast<__m128i*>(Lanes + k * Pitch + Column);
}

template <bool WithAverage, bool WithPaeth>
void UnfilterTogetherSse2(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count) {
  const TLaneMasks Masks = MasksFor(Types);
  __m128i Left = _mm_setzero_si128(), UpperLeft = _mm_setzero_si128();
  for (uint32_t Column = 0; Column < Count + SkewedLanes - 1; Column += 16) {
    __m128i Block[16];
    for (uint32_t k = 0; k < SkewedLanes; ++k)
      Block[k] = _mm_load_si128(LaneBlock(Lanes, Pitch, k, Column));
    Transpose(Block);
    UndoSteps<WithAverage, WithPaeth>(Block, Masks, Left, UpperLeft);
    Transpose(Block);
    for (uint32_t k = 0; k < SkewedLanes; ++k)
      _mm_store_si128(LaneBlock(Lanes, Pitch, k, Column), Block[k]);
  }
}

// With AVX-512's two-source byte permute a 16×16 block, four lanes to a 512-bit vector, turns
// about its diagonal in eight permutes instead of sixty-four interleaves. Round one gathers from
// each pair of vectors (eight lanes) their left or right eight columns, a column at a time; round
// two joins four columns of the top eight lanes with the same columns of the bottom eight.
using TByteIndex = std::array<uint8_t, 64>;

constexpr TByteIndex GatherEightColumns(int Half) {
  TByteIndex Index{};
  for (int p = 0; p < 64; ++p) {
    const int Lane = p % 8, Column = 8 * Half + p / 8;
    Index[p] = static_cast<uint8_t>((Lane >= 4 ? 64 : 0) + 16 * (Lane % 4) + Column);
  }
  return Index;
}

constexpr TByteIndex JoinFourColumns(int Half) {
  TByteIndex Index{};
  for (int p = 0; p < 64; ++p) {
    const int Lane = p % 16, Column = 4 * Half + p / 16;
    Index[p] = static_cast<uint8_t>((Lane >= 8 ? 64 : 0) + 8 * Column + Lane % 8);
  }
  return Index;
}

// GCC 12's extract and cast intrinsics start from an undefined vector it then warns about.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// The 16 bytes of four lanes, Pitch apart from At on, as one vector, and back. These repeat Join's
// inserts and Split's extracts on purpose: written out, the loads and stores fold into them; built
// on Join and Split, GCC 12 keeps them apart, and grey8 decoded about 4% slower.
VQZ_AVX512_VBMI_ROUTINE inline __m512i LoadFourLanes(const uint8_t* At, size_t Pitch) {
  const auto Lane = [&](size_t k) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(At + k * Pitch));
  };
  const __m512i Two = _mm512_inserti32x4(_mm512_zextsi128_si512(Lane(0)), Lane(1), 1);
  return _mm512_inserti32x4(_mm512_inserti32x4(Two, Lane(2), 2), Lane(3), 3);
}

VQZ_AVX512_VBMI_ROUTINE inline void StoreFourLanes(__m512i Wide, uint8_t* At, size_t Pitch) {
  const auto Lane = [&](size_t k) { return reinterpret_cast<__m128i*>(At + k * Pitch); };
  _mm_store_si128(Lane(0), _mm512_castsi512_si128(Wide));
  _mm_store_si128(Lane(1), _mm512_extracti32x4_epi32(Wide, 1));
  _mm_store_si128(Lane(2), _mm512_extracti32x4_epi32(Wide, 2));
  _mm_store_si128(Lane(3), _mm512_extracti32x4_epi32(Wide, 3));
}

// Steps are taken from and put back into the four vectors a quarter at a time.
VQZ_AVX512_VBMI_ROUTINE inline void Split(const __m512i (&Wide)[4], __m128i (&Block)[16]) {
  for (int v = 0; v < 4; ++v) {
    Block[4 * v] = _mm512_castsi512_si128(Wide[v]);
    Block[4 * v + 1] = _mm512_extracti32x4_epi32(Wide[v], 1);
    Block[4 * v + 2] = _mm512_extracti32x4_epi32(Wide[v], 2);
    Block[4 * v + 3] = _mm512_extracti32x4_epi32(Wide[v], 3);
  }
}

VQZ_AVX512_VBMI_ROUTINE inline void Join(const __m128i (&Block)[16], __m512i (&Wide)[4]) {
  for (int v = 0; v < 4; ++v) {
    const __m512i Two =
        _mm512_inserti32x4(_mm512_zextsi128_si512(Block[4 * v]), Block[4 * v + 1], 1);
    Wide[v] = _mm512_inserti32x4(_mm512_inserti32x4(Two, Block[4 * v + 2], 2), Block[4 * v + 3], 3);
  }
}

VQZ_AVX512_VBMI_ROUTINE inline void TransposeWide(__m512i (&Wide)[4]) {
  static constexpr TByteIndex Gather[2] = {GatherEightColumns(0), GatherEightColumns(1)};
  static constexpr TByteIndex Joins[2] = {JoinFourColumns(0), JoinFourColumns(1)};
  const __m512i GatherLeft = _mm512_loadu_si512(Gather[0].data());
  const __m512i GatherRight = _mm512_loadu_si512(Gather[1].data());
  const __m512i JoinFirst = _mm512_loadu_si512(Joins[0].data());
  const __m512i JoinSecond = _mm512_loadu_si512(Joins[1].data());
  const __m512i TopLeft = _mm512_permutex2var_epi8(Wide[0], GatherLeft, Wide[1]);
  const __m512i TopRight = _mm512_permutex2var_epi8(Wide[0], GatherRight, Wide[1]);
  const __m512i BottomLeft = _mm512_permutex2var_epi8(Wide[2], GatherLeft, Wide[3]);
  const __m512i BottomRight = _mm512_permutex2var_epi8(Wide[2], GatherRight, Wide[3]);
  Wide[0] = _mm512_permutex2var_epi8(TopLeft, JoinFirst, BottomLeft);
  Wide[1] = _mm512_permutex2var_epi8(TopLeft, JoinSecond, BottomLeft);
  Wide[2] = _mm512_permutex2var_epi8(TopRight, JoinFirst, BottomRight);
  Wide[3] = _mm512_permutex2var_epi8(TopRight, JoinSecond, BottomRight);
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

template <bool WithAverage, bool WithPaeth>
VQZ_AVX512_VBMI_ROUTINE void UnfilterTogetherAvx512(uint8_t* Lanes, size_t Pitch,
                                                    const uint8_t* Types, uint32_t Count) {
  const TLaneMasks Masks = MasksFor(Types);
  __m128i Left = _mm_setzero_si128(), UpperLeft = _mm_setzero_si128();
  for (uint32_t Column = 0; Column < Count + SkewedLanes - 1; Column += 16) {
    __m512i Wide[4];
    __m128i Block[16];
    for (uint32_t v = 0; v < 4; ++v)
      Wide[v] = LoadFourLanes(Lanes + 4 * v * Pitch + Column, Pitch);
    TransposeWide(Wide);
    Split(Wide, Block);
    UndoSteps<WithAverage, WithPaeth>(Block, Masks, Left, UpperLeft);
    Join(Block, Wide);
    TransposeWide(Wide);
    for (uint32_t v = 0; v < 4; ++v)
      StoreFourLanes(Wide[v], Lanes + 4 * v * Pitch + Column, Pitch);
  }
}

template <bool WithAverage, bool WithPaeth>
bool UnfilterTogetherOn(TSkewedPath Path, uint8_t* Lanes, size_t Pitch, const uint8_t* Types,
                        uint32_t Count) {
  if (Path == spAvx512Vbmi) {
    if (!HasAvx512Vbmi())
      return false;
    UnfilterTogetherAvx512<WithAverage, WithPaeth>(Lanes, Pitch, Types, Count);
  } else {
    UnfilterTogetherSse2<WithAverage, WithPaeth>(Lanes, Pitch, Types, Count);
  }
  return true;
}

#endif

// What a column costs, in tenths of a nanosecond as measured on 2048-byte rows: one row's chain
// per filter type (None, Sub, Up, Average, Paeth), and the lanes side by side with SSE2, whose
// transposes cost the same whatever the types. With AVX-512 the lanes side by side cost about a
// third less, so there the choice errs towards the chains.
constexpr uint32_t ChainCost[FilterTypeCount] = {0, 3, 0, 11, 30};
constexpr uint32_t TogetherBaseCost = 44;
constexpr uint32_t TogetherAverageCost = 8;
constexpr uint32_t TogetherPaethCost = 52;

} // namespace

void UnfilterSkewedPlain(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count) {
  for (uint32_t k = 1; k < SkewedLanes; ++k)
    UnfilterRow(Types[k], 1, LaneRow(Lanes, Pitch, k), LaneRow(Lanes, Pitch, k - 1), Count);
}

bool UnfilterSkewedTogetherOn(TSkewedPath Path, uint8_t* Lanes, size_t Pitch, const uint8_t* Types,
                              uint32_t Count) {
#ifdef VQZ_SSE2
  bool WithAverage = false, WithPaeth = false;
  for (uint32_t k = 1; k < SkewedLanes; ++k) {
    WithAverage |= Types[k] == ftAverage;
    WithPaeth |= Types[k] == ftPaeth;
  }
  if (WithPaeth)
    return WithAverage ? UnfilterTogetherOn<true, true>(Path, Lanes, Pitch, Types, Count)
                       : UnfilterTogetherOn<false, true>(Path, Lanes, Pitch, Types, Count);
  return WithAverage ? UnfilterTogetherOn<true, false>(Path, Lanes, Pitch, Types, Count)
                     : UnfilterTogetherOn<false, false>(Path, Lanes, Pitch, Types, Count);
#else
  return false;
#endif
}

void UnfilterSkewedTogether(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count) {
  if (!UnfilterSkewedTogetherOn(spAvx512Vbmi, Lanes, Pitch, Types, Count) &&
      !UnfilterSkewedTogetherOn(spSse2, Lanes, Pitch, Types, Count))
    UnfilterSkewedPlain(Lanes, Pitch, Types, Count);
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
