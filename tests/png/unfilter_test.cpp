// The fast unfiltering against its plain twin: every filter type, pixel width and short row
// length, long random rows, and rows undone together.
#include "png/pngunfilter.h"

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

void ExpectSameAsPlain(uint8_t Type, uint32_t Stride, const TBytes& Row, const TBytes& Up) {
  TBytes Fast = Row, Plain = Row;
  UnfilterRow(Type, Stride, Fast.data(), Up.data(), static_cast<uint32_t>(Row.size()));
  UnfilterRowPlain(Type, Stride, Plain.data(), Up.data(), static_cast<uint32_t>(Row.size()));
  ASSERT_EQ(Fast, Plain) << "type " << int{Type} << ", stride " << Stride << ", " << Row.size()
                         << " bytes";
}

TEST(Unfilter, FastEqualsPlainForEveryTypeWidthAndLength) {
  std::mt19937 Generator(7);
  for (uint8_t Type = 0; Type <= 5; ++Type)
    for (uint32_t Stride = 1; Stride <= 8; ++Stride) {
      for (size_t Count = 1; Count <= 64; ++Count)
        ExpectSameAsPlain(Type, Stride, RandomBytes(Generator, Count),
                          RandomBytes(Generator, Count));
      for (int Long = 0; Long < 8; ++Long) {
        const size_t Count = 1000 + Generator() % 9000;
        ExpectSameAsPlain(Type, Stride, RandomBytes(Generator, Count),
                          RandomBytes(Generator, Count));
      }
    }
}

// Rows of extremes give the predictor's ties and wrap-arounds.
TEST(Unfilter, FastEqualsPlainOnExtremeBytes) {
  const uint8_t Values[] = {0, 1, 127, 128, 254, 255};
  for (const uint32_t Stride : {1u, 3u, 4u, 6u})
    for (const uint8_t A : Values)
      for (const uint8_t B : Values)
        for (uint8_t Type = 1; Type <= 4; ++Type)
          ExpectSameAsPlain(Type, Stride, TBytes(4 * Stride, A), TBytes(4 * Stride, B));
}

// Rows undone together against the same rows undone one after another by the definition: the
// four-Average walk for every width and length, and the mixtures (an unknown filter among them)
// and short groups it leaves.
void ExpectRowsSameAsPlain(uint32_t Stride, const std::vector<uint8_t>& Types,
                           std::vector<TBytes> Rows, const TBytes& Up) {
  std::vector<TBytes> Plain = Rows;
  std::vector<uint8_t*> Pointers;
  for (TBytes& Row : Rows)
    Pointers.push_back(Row.data());
  const auto Count = static_cast<uint32_t>(Up.size());
  UnfilterRows(Stride, Types.data(), Pointers.data(), Up.data(), static_cast<uint32_t>(Rows.size()),
               Count);
  for (size_t k = 0; k < Plain.size(); ++k)
    UnfilterRowPlain(Types[k], Stride, Plain[k].data(), k == 0 ? Up.data() : Plain[k - 1].data(),
                     Count);
  ASSERT_EQ(Rows, Plain) << "stride " << Stride << ", " << Count << " bytes, " << Rows.size()
                         << " rows, types " << int{Types[0]} << int{Types.back()};
}

TEST(Unfilter, RowsTogetherEqualRowsOneAfterAnother) {
  std::mt19937 Generator(11);
  const std::vector<std::vector<uint8_t>> TypeSets = {
      {3, 3, 3, 3}, {4, 4, 4, 4}, {3, 3, 4, 3}, {1, 2, 3, 4}, {4, 0, 7, 3}, {3, 3, 3}, {3}};
  for (uint32_t Stride = 1; Stride <= 8; ++Stride)
    for (const std::vector<uint8_t>& Types : TypeSets) {
      std::vector<size_t> Counts;
      for (size_t Count = 1; Count <= 64; ++Count)
        Counts.push_back(Count);
      Counts.push_back(size_t{Stride} * (500 + Generator() % 3000));
      for (const size_t Count : Counts) {
        std::vector<TBytes> Rows;
        for (size_t k = 0; k < Types.size(); ++k)
          Rows.push_back(RandomBytes(Generator, Count));
        ExpectRowsSameAsPlain(Stride, Types, Rows, RandomBytes(Generator, Count));
      }
    }
}

} // namespace
