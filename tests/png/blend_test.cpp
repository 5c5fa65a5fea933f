// The fast row blend against its plain twin, and the plain one against the blend's definition.
#include "png/pngblend.h"
#include "png/pngimage.h"

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Alpha rows of one kind: random, with clear and opaque pixels among them, or runs of clear,
// opaque and translucent pixels as the rim of a picture has them.
TBytes AlphaRow(std::mt19937& Generator, uint32_t Width, int Kind) {
  TBytes Alpha = RandomBytes(Generator, Width + 1);
  for (size_t X = 0; X < Width; ++X)
    if (Kind == 0 && X % 5 == 0)
      Alpha[X] = X % 10 == 0 ? 0 : 255;
    else if (Kind == 1)
      Alpha[X] = (X / 7) % 3 == 0 ? 0 : (X / 7) % 3 == 1 ? 255 : Alpha[X];
  return Alpha;
}

TEST(RowBlend, FastEqualsPlainAtEveryWidth) {
  std::mt19937 Generator(11);
  for (uint32_t Width = 0; Width <= 67; ++Width)
    for (const int Kind : {0, 1, 2}) {
      const TBytes Row = RandomBytes(Generator, 3 * Width + 1),
                   Under = RandomBytes(Generator, 4 * Width + 1);
      const TBytes Alpha = AlphaRow(Generator, Width, Kind);
      const bool WithAlpha = Kind != 2;
      TBytes Fast = Under, Plain = Under;
      BlendTrueColourRow(Fast.data(), Row.data(), WithAlpha ? Alpha.data() : nullptr, Width);
      BlendTrueColourRowPlain(Plain.data(), Row.data(), WithAlpha ? Alpha.data() : nullptr, Width);
      ASSERT_EQ(Fast, Plain) << Width << " pixels, alpha of kind " << Kind;
      ASSERT_EQ(Fast.back(), Under.back()) << "nothing past the row is touched";
    }
}

TEST(RowBlend, PlainBlendsEachChannelAndKeepsTheFourthByte) {
  const TBytes Row = {10, 20, 30, 200, 100, 0};
  const TBytes Alpha = {128, 0};
  TBytes Under = {250, 250, 250, 7, 40, 50, 60, 9};
  BlendTrueColourRowPlain(Under.data(), Row.data(), Alpha.data(), 2);
  EXPECT_EQ(Under, (TBytes{130, 135, 140, 7, 40, 50, 60, 9}));
}

} // namespace
