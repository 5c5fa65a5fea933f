// The fast unfiltering against its plain twin: every filter type, pixel width and short row
// length, and long random rows.
#include "png/pngunfilter.h"

#include "png/pngfilter.h"
#include "png/pngimage.h"

#include "tests/png/paeth_oracle.h"
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

// Two rows undone as a pair give what the definition gives row after row: every pair of filter
// types (Average under Average is the one undone side by side), width and short length, and
// long rows.
TEST(Unfilter, PairEqualsPlainRowAfterRowForEveryTypePairWidthAndLength) {
  std::mt19937 Generator(11);
  for (uint32_t Stride = 1; Stride <= 8; ++Stride)
    for (uint8_t Upper = 0; Upper <= 5; ++Upper)
      for (uint8_t Lower = 0; Lower <= 5; ++Lower)
        for (const size_t Count : {size_t{1}, size_t{5}, size_t{11}, size_t{40}, size_t{64},
                                   size_t{95}, size_t{700}, size_t{3001}}) {
          const TBytes Up = RandomBytes(Generator, Count);
          TBytes First = RandomBytes(Generator, Count), Second = RandomBytes(Generator, Count);
          TBytes PlainFirst = First, PlainSecond = Second;
          const auto Size = static_cast<uint32_t>(Count);
          UnfilterRowPair({Upper, Lower}, Stride, First.data(), Second.data(), Up.data(), Size);
          UnfilterRowPlain(Upper, Stride, PlainFirst.data(), Up.data(), Size);
          UnfilterRowPlain(Lower, Stride, PlainSecond.data(), PlainFirst.data(), Size);
          ASSERT_EQ(First, PlainFirst) << "types " << int{Upper} << int{Lower} << ", stride "
                                       << Stride << ", " << Count << " bytes";
          ASSERT_EQ(Second, PlainSecond) << "types " << int{Upper} << int{Lower} << ", stride "
                                         << Stride << ", " << Count << " bytes";
        }
}

TEST(Paeth, PredictsAsThePngStandardForEveryTriple) {
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b)
      for (int c = 0; c < 256; ++c)
        if (PaethPredictor(static_cast<uint8_t>(a), static_cast<uint8_t>(b),
                           static_cast<uint8_t>(c)) != TextbookPaeth(a, b, c))
          FAIL() << a << " " << b << " " << c;
}

// Each channel's upper and upper-left bytes run through every pair, and its left byte through
// every value over the rows: every (left, up, upper-left) triple at every pixel width.
TEST(Paeth, UndoesEveryTripleAtEveryPixelWidth) {
  const TBytes Pairs = EveryPairOnce();
  for (uint32_t Stride = 1; Stride <= 8; ++Stride) {
    TBytes Up(Pairs.size() * Stride);
    for (size_t i = 0; i < Up.size(); ++i)
      Up[i] = Pairs[i / Stride];
    for (uint32_t Left = 0; Left < 256; Left += Stride) {
      TBytes Decoded(Up.size());
      for (size_t i = 0; i < Decoded.size(); ++i)
        Decoded[i] = static_cast<uint8_t>(Left + i % Stride + 29 * (i / Stride));
      TBytes Row = PaethFiltered(Decoded, Up, Stride);
      UnfilterRow(ftPaeth, Stride, Row.data(), Up.data(), static_cast<uint32_t>(Row.size()));
      ASSERT_EQ(Row, Decoded) << "stride " << Stride << ", left from " << Left;
    }
  }
}

// The writer's Sub against its plain twin, and undone by the reader's definition back to the row.
TEST(SubFilter, FastEqualsPlainAndUndoesToTheRow) {
  std::mt19937 Generator(13);
  std::vector<uint32_t> Counts{1000, 4099};
  for (uint32_t Count = 1; Count <= 64; ++Count)
    Counts.push_back(Count);
  for (uint32_t Stride = 1; Stride <= 8; ++Stride)
    for (const uint32_t Count : Counts) {
      const TBytes Raw = RandomBytes(Generator, Count);
      TBytes Fast(Count), Plain(Count);
      SubFilterRow(Raw.data(), Fast.data(), Count, Stride);
      SubFilterRowPlain(Raw.data(), Plain.data(), Count, Stride);
      ASSERT_EQ(Fast, Plain) << "stride " << Stride << ", " << Count << " bytes";
      UnfilterRowPlain(ftSub, Stride, Plain.data(), Raw.data(), Count);
      ASSERT_EQ(Plain, Raw) << "stride " << Stride << ", " << Count << " bytes";
    }
}

} // namespace
