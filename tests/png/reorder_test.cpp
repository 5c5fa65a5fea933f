// The fast truecolour reordering against its plain twin at every short width and on long rows
// (rows sized exactly, so that the sanitizers see any access past them), and the plain one
// against the layouts it stands for; the same for the Adam7 passes spread Step pixels apart.
#include "png/pngreorder.h"

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<uint32_t> Widths(std::mt19937& Generator) {
  std::vector<uint32_t> All;
  for (uint32_t Width = 0; Width <= 64; ++Width)
    All.push_back(Width);
  for (int Long = 0; Long < 6; ++Long)
    All.push_back(1000 + Generator() % 3000);
  return All;
}

TEST(Reorder, FastEqualsPlainAtEveryWidth) {
  std::mt19937 Generator(5);
  for (const uint32_t Width : Widths(Generator)) {
    const TBytes Rgb8 = RandomBytes(Generator, 3 * Width),
                 Rgba8 = RandomBytes(Generator, 4 * Width);
    TBytes Fast(3 * Width), Plain(3 * Width), FastAlpha(Width), PlainAlpha(Width);
    ReorderRgb8(Rgb8.data(), Fast.data(), Width);
    ReorderRgb8Plain(Rgb8.data(), Plain.data(), Width);
    ASSERT_EQ(Fast, Plain) << "RGB8, width " << Width;
    ReorderRgba8(Rgba8.data(), Fast.data(), FastAlpha.data(), Width);
    ReorderRgba8Plain(Rgba8.data(), Plain.data(), PlainAlpha.data(), Width);
    ASSERT_EQ(Fast, Plain) << "RGBA8, width " << Width;
    ASSERT_EQ(FastAlpha, PlainAlpha) << "RGBA8 alpha, width " << Width;
  }
}

// Each pass's pixels land Step apart over bytes other passes stored, which must stay as they are;
// the row ends at the last pixel's last byte.
TEST(Reorder, SpreadEqualsPlainForEveryStepAndWidth) {
  std::mt19937 Generator(7);
  for (const uint32_t Step : {2u, 4u, 8u})
    for (const uint32_t Pixels : Widths(Generator)) {
      const TBytes Rgb8 = RandomBytes(Generator, 3 * Pixels);
      const TBytes Before = RandomBytes(Generator, Pixels == 0 ? 0 : 3 * Step * (Pixels - 1) + 3);
      TBytes Fast = Before, Plain = Before;
      SpreadRgb8(Rgb8.data(), Fast.data(), Pixels, Step);
      SpreadRgb8Plain(Rgb8.data(), Plain.data(), Pixels, Step);
      ASSERT_EQ(Fast, Plain) << "step " << Step << ", " << Pixels << " pixels";
    }
}

TEST(Reorder, PlainGivesBlueFirstAlphaAndSpread) {
  const TBytes Rgb8{1, 2, 3, 4, 5, 6}, Rgba8{1, 2, 3, 9, 4, 5, 6, 8};
  TBytes Dest(6), Alpha(2);
  ReorderRgb8Plain(Rgb8.data(), Dest.data(), 2);
  EXPECT_EQ(Dest, (TBytes{3, 2, 1, 6, 5, 4}));
  ReorderRgba8Plain(Rgba8.data(), Dest.data(), Alpha.data(), 2);
  EXPECT_EQ(Dest, (TBytes{3, 2, 1, 6, 5, 4}));
  EXPECT_EQ(Alpha, (TBytes{9, 8}));
  TBytes Spread(9, 0xEE);
  SpreadRgb8Plain(Rgb8.data(), Spread.data(), 2, 2);
  EXPECT_EQ(Spread, (TBytes{3, 2, 1, 0xEE, 0xEE, 0xEE, 6, 5, 4}));
}

} // namespace
