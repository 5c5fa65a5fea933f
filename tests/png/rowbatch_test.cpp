// Rows undone a batch at a time (one-byte pixels side by side, others in pairs) against the same
// rows undone one after another.
#include "png/pngimage.h"
#include "png/pngrowbatch.h"
#include "png/pngskewed.h"
#include "png/pngunfilter.h"

#include "tests/png/paeth_oracle.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

// Sixteen lanes in the skewed layout, filled with the given rows (lane 0 the row above).
struct TSkewedLanes {
  explicit TSkewedLanes(uint32_t RowBytes)
      : Count(RowBytes), Pitch((RowBytes + 15 + 15) / 16 * 16), Bytes(SkewedLanes * Pitch + 16) {}
  uint8_t* Lanes() { return Bytes.data() + (-reinterpret_cast<uintptr_t>(Bytes.data()) & 15); }
  uint8_t* Row(uint32_t k) { return Lanes() + k * Pitch + k; }
  TBytes RowBytes(uint32_t k) { return TBytes(Row(k), Row(k) + Count); }

  uint32_t Count;
  size_t Pitch;
  TBytes Bytes;
};

using TUnfilterSkewed = void (*)(uint8_t*, size_t, const uint8_t*, uint32_t);

// Undoes the same rows with Fast and with the plain definition and compares every row.
void ExpectSameAsPlain(TUnfilterSkewed Fast, const std::vector<TBytes>& Rows,
                       const uint8_t* Types) {
  const auto Count = static_cast<uint32_t>(Rows[0].size());
  TSkewedLanes A(Count), B(Count);
  for (uint32_t k = 0; k < SkewedLanes; ++k) {
    std::memcpy(A.Row(k), Rows[k].data(), Count);
    std::memcpy(B.Row(k), Rows[k].data(), Count);
  }
  Fast(A.Lanes(), A.Pitch, Types, Count);
  UnfilterSkewedPlain(B.Lanes(), B.Pitch, Types, Count);
  for (uint32_t k = 0; k < SkewedLanes; ++k)
    ASSERT_EQ(A.RowBytes(k), B.RowBytes(k))
        << "lane " << k << " type " << int{Types[k]} << ", " << Count << " bytes";
}

std::vector<TBytes> RandomRows(std::mt19937& Generator, uint32_t Count) {
  std::vector<TBytes> Rows;
  for (uint32_t k = 0; k < SkewedLanes; ++k)
    Rows.push_back(RandomBytes(Generator, Count));
  return Rows;
}

void UnfilterOnSse2(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count) {
  UnfilterSkewedTogetherOn(spSse2, Lanes, Pitch, Types, Count);
}

void UnfilterOnAvx512Vbmi(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count) {
  UnfilterSkewedTogetherOn(spAvx512Vbmi, Lanes, Pitch, Types, Count);
}

// Each processor path this machine has, and the routines that choose among them.
std::vector<TUnfilterSkewed> FastRoutines() {
  std::vector<TUnfilterSkewed> Routines{&UnfilterSkewedTogether, &UnfilterSkewed};
  TSkewedLanes Probe(1);
  const uint8_t Types[SkewedLanes] = {};
  const auto Has = [&](TSkewedPath Path) {
    return UnfilterSkewedTogetherOn(Path, Probe.Lanes(), Probe.Pitch, Types, 1);
  };
  if (Has(spSse2))
    Routines.push_back(&UnfilterOnSse2);
  if (Has(spAvx512Vbmi))
    Routines.push_back(&UnfilterOnAvx512Vbmi);
  return Routines;
}

TEST(SkewedRows, TogetherEqualsPlainForMixedTypesAndLengths) {
  std::mt19937 Generator(11);
  for (const TUnfilterSkewed Fast : FastRoutines())
    for (int Trial = 0; Trial < 200; ++Trial) {
      const uint32_t Count = Trial < 100 ? 1 + Trial % 64 : 100 + Generator() % 3000;
      uint8_t Types[SkewedLanes];
      // Some batches draw only from the chained filters, some from all six values.
      const uint32_t Kinds = Trial % 3 == 0 ? 2 : 6;
      for (uint8_t& Type : Types)
        Type = static_cast<uint8_t>(Kinds == 2 ? 3 + Generator() % 2 : Generator() % 6);
      ExpectSameAsPlain(Fast, RandomRows(Generator, Count), Types);
    }
}

// Even lanes undo to every pair of neighbours, odd lanes to left bytes that run through every
// value over the batches: each odd lane meets every (left, up, upper-left) triple.
void ExpectPaethForEveryTriple(TUnfilterSkewed Fast) {
  const TBytes Pairs = EveryPairOnce();
  const auto Count = static_cast<uint32_t>(Pairs.size());
  uint8_t Types[SkewedLanes];
  std::fill(Types, Types + SkewedLanes, uint8_t{4});
  for (uint32_t Batch = 0; Batch < 256 / (SkewedLanes / 2); ++Batch) {
    TSkewedLanes Lanes(Count);
    std::vector<TBytes> Decoded(SkewedLanes, Pairs);
    for (uint32_t k = 1; k < SkewedLanes; k += 2)
      for (uint32_t j = 0; j < Count; ++j)
        Decoded[k][j] = static_cast<uint8_t>(Batch * (SkewedLanes / 2) + k / 2 + 29 * j);
    std::memcpy(Lanes.Row(0), Pairs.data(), Count);
    for (uint32_t k = 1; k < SkewedLanes; ++k)
      std::memcpy(Lanes.Row(k), PaethFiltered(Decoded[k], Decoded[k - 1], 1).data(), Count);
    Fast(Lanes.Lanes(), Lanes.Pitch, Types, Count);
    for (uint32_t k = 1; k < SkewedLanes; ++k)
      ASSERT_EQ(Lanes.RowBytes(k), Decoded[k]) << "batch " << Batch << ", lane " << k;
  }
}

TEST(SkewedRows, TogetherUndoesPaethForEveryTriple) {
  for (const TUnfilterSkewed Fast : FastRoutines())
    ExpectPaethForEveryTriple(Fast);
}

// A batch carries its last row over as the one above the next: many batches of random rows,
// full and partial, give the rows a plain row-by-row walk gives, in the skewed layout (one-byte
// pixels) and two rows at a time (packed, 3-, 4-, 6- and 8-byte pixels), half of them Average.
TEST(RowBatch, BatchAfterBatchEqualsRowAfterRow) {
  std::mt19937 Generator(3);
  for (const uint32_t PixelBits : {8u, 1u, 24u, 32u, 48u, 64u})
    for (const uint32_t Count : {1u, 17u, 640u}) {
      TRowBatch Batch(Count, PixelBits);
      const uint32_t Stride = std::max(PixelBits / 8, 1u);
      TBytes Above(Count, 0);
      for (const uint32_t Wanted : {15u, 15u, 4u, 1u, 15u}) {
        const uint32_t Rows = std::min(Wanted, Batch.Capacity());
        std::vector<TBytes> Expected;
        for (uint32_t k = 0; k < Rows; ++k) {
          TBytes Filtered = RandomBytes(Generator, Count + 1);
          Filtered[0] =
              static_cast<uint8_t>(Generator() % 2 == 0 ? uint32_t{ftAverage} : Generator() % 6);
          std::memcpy(Batch.FilteredRow(k), Filtered.data(), Count + 1);
          UnfilterRowPlain(Filtered[0], Stride, Filtered.data() + 1, Above.data(), Count);
          Above.assign(Filtered.begin() + 1, Filtered.end());
          Expected.push_back(Above);
        }
        Batch.Unfilter(Rows);
        for (uint32_t k = 0; k < Rows; ++k)
          ASSERT_EQ(TBytes(Batch.Row(k), Batch.Row(k) + Count), Expected[k])
              << PixelBits << "-bit pixels, " << Count << " bytes, row " << k;
      }
    }
}

TEST(RowBatch, OnlyRowsOfOneBytePixelsThatFitGoSkewed) {
  EXPECT_EQ(TRowBatch(TRowBatch::MaxSkewedRowBytes, 8).Capacity(), TRowBatch::MaxSkewedRows);
  EXPECT_EQ(TRowBatch(TRowBatch::MaxSkewedRowBytes + 1, 8).Capacity(), TRowBatch::MaxPairedRows);
  for (const uint32_t PixelBits : {1u, 2u, 4u, 16u, 24u, 32u, 48u, 64u})
    EXPECT_EQ(TRowBatch(100, PixelBits).Capacity(), TRowBatch::MaxPairedRows) << PixelBits;
}

} // namespace
