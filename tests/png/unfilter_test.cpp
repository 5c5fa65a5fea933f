// The fast unfiltering against its plain twin: every filter type, pixel width and short row
// length, and long random rows.
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
  ASSERT_EQ(Fast, Plain) << "type " << int{Type} << ", stride " << Stride << ", " << Row.size() << " bytes";
}

TEST(Unfilter, FastEqualsPlainForEveryTypeWidthAndLength) {
  std::mt19937 Generator(7);
  for (uint8_t Type = 0; Type <= 5; ++Type)
    for (uint32_t Stride = 1; Stride <= 8; ++Stride) {
      for (size_t Count = 1; Count <= 64; ++Count)
        ExpectSameAsPlain(Type, Stride, RandomBytes(Generator, Count), RandomBytes(Generator, Count));
      for (int Long = 0; Long < 8; ++Long) {
        const size_t Count = 1000 + Generator() % 9000;
        ExpectSameAsPlain(Type, Stride, RandomBytes(Generator, Count), RandomBytes(Generator, Count));
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

} // namespace
