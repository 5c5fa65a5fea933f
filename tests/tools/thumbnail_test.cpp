// Thumbnails: the streaming area average against its plain twin, a case worked by hand, the
// sizes a picture is fitted to, and what vqzconv writes.
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"
#include "tests/support/testfiles.h"
#include "tools/areaaverage.h"
#include "tools/thumbnail.h"
#include "tools/vqzconv.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <stdexcept>

namespace {

class AreaAverageTwins : public testing::TestWithParam<std::pair<TPictureSize, TPictureSize>> {};

// Random pixels, a quarter of them clear and a quarter opaque, so that weighting by alpha shows.
TEST_P(AreaAverageTwins, StreamingGivesThePlainResult) {
  const TPictureSize From = GetParam().first;
  const TPictureSize To = GetParam().second;
  std::mt19937 Random(From.Width * 7919 + To.Height);
  std::vector<uint8_t> Pixels = RandomBytes(Random, size_t{From.Width} * From.Height * 4);
  for (size_t At = 3; At < Pixels.size(); At += 4)
    Pixels[At] = Pixels[At] < 64 ? 0 : Pixels[At] < 128 ? 255 : Pixels[At];
  uint32_t NextRow = 0;
  const auto ReadRow = [&](uint32_t Y, uint8_t* Row) {
    ASSERT_EQ(Y, NextRow++);
    std::copy_n(&Pixels[size_t{Y} * From.Width * 4], size_t{From.Width} * 4, Row);
  };
  EXPECT_EQ(AreaAverage(From, ReadRow, To), AreaAveragePlain(From, Pixels, To));
  EXPECT_EQ(NextRow, From.Height);
}

INSTANTIATE_TEST_SUITE_P(Sizes, AreaAverageTwins,
                         testing::Values(std::pair(TPictureSize{37, 23}, TPictureSize{10, 7}),
                                         std::pair(TPictureSize{33, 17}, TPictureSize{32, 16}),
                                         std::pair(TPictureSize{1, 50}, TPictureSize{1, 3}),
                                         std::pair(TPictureSize{100, 3}, TPictureSize{7, 1}),
                                         std::pair(TPictureSize{13, 9}, TPictureSize{13, 9}),
                                         std::pair(TPictureSize{9, 9}, TPictureSize{1, 1})));

// A target pixel that covers no source pixel has no average: an empty source gives no 1 x 1.
TEST(AreaAverage, ATargetLargerThanItsSourceIsRefused) {
  const auto ReadRow = [](uint32_t, uint8_t*) {};
  EXPECT_THROW(AreaAverage({0, 0}, ReadRow, {1, 1}), std::invalid_argument);
  EXPECT_THROW(AreaAveragePlain({0, 0}, {}, {1, 1}), std::invalid_argument);
  EXPECT_THROW(AreaAveragePlain({3, 2}, std::vector<uint8_t>(24), {3, 3}), std::invalid_argument);
  EXPECT_TRUE(AreaAverage({0, 0}, ReadRow, {0, 0}).empty());
}

// Each 2 x 2 block of a 4 x 4 picture becomes one pixel: opaque colours average plainly, clear
// pixels lend no colour, colours weigh by their alpha, and a clear block stays clear and black.
TEST(AreaAverage, FourByFourToTwoByTwoByHand) {
  const std::vector<uint8_t> Pixels = {
      10, 20, 30, 255, 30,  40,  50,  255, 0, 0, 0, 0, 200, 100, 50, 255,
      50, 60, 70, 255, 70,  80,  90,  255, 0, 0, 0, 0, 200, 100, 50, 255,
      0,  0,  0,  100, 255, 255, 255, 200, 9, 9, 9, 0, 9,   9,   9,  0,
      0,  0,  0,  100, 255, 255, 255, 200, 9, 9, 9, 0, 9,   9,   9,  0};
  EXPECT_EQ(
      AreaAveragePlain({4, 4}, Pixels, {2, 2}),
      (std::vector<uint8_t>{40, 50, 60, 255, 200, 100, 50, 128, 170, 170, 170, 150, 0, 0, 0, 0}));
}

TEST(Thumbnail, FitsTheBoxKeepingTheAspectAndNeverEnlarges) {
  const std::tuple<TPictureSize, uint32_t, TPictureSize> Cases[] = {
      {{300, 100}, 128, {128, 43}}, {{100, 300}, 128, {43, 128}},  {{5, 3}, 128, {5, 3}},
      {{1000, 1}, 128, {128, 1}},   {{128, 128}, 128, {128, 128}}, {{129, 129}, 128, {128, 128}},
      {{65535, 65535}, 1, {1, 1}}};
  for (const auto& [Picture, Box, Expected] : Cases)
    EXPECT_EQ(ThumbnailSize(Picture, Box), Expected) << Picture.Width << "x" << Picture.Height;
}

// An 8-bit RGBA PNG of the fitted size; what libpng reads from it is the average of what the
// picture shows, alpha and all.
TEST(ThumbnailCommand, WritesTheAverageAsAnRgbaPngOfTheFittedSize) {
  TScratchDir Dir;
  const TBytes Wide =
      TPngBuilder().Header(300, 100, 8, COLOR_GRAYSCALE).Data(TBytes(100 * 301, 0)).End().Bytes();
  const TBytes Rows = {0, 0, 0, 0, 0, 200, 100, 50, 255, 0, 0, 0, 0, 0, 200, 100, 50, 255};
  const TBytes Clear =
      VqzOf(TPngBuilder().Header(2, 2, 8, COLOR_RGBALPHA).Data(Rows).End().Bytes(), 40);
  const std::tuple<std::vector<std::string>, uint32_t, uint32_t> Cases[] = {
      {{"thumbnail", Dir.Write("wide.png", Wide), Dir.PathOf("out.png")}, 128, 43},
      {{"thumbnail", Dir.Write("clear.vqz", Clear), Dir.PathOf("out.png"), "--size=1"}, 1, 1}};
  for (const auto& [Args, Width, Height] : Cases) {
    std::ostringstream Out, Err;
    ASSERT_EQ(RunVqzconv(Args, Out, Err), ExitOk) << Err.str();
    TPNGObject Written;
    LoadBytes(Written, ReadFileBytes(Dir.PathOf("out.png")));
    const TChunkIHDR& H = Written.Header();
    EXPECT_EQ(std::tuple(H.Width, H.Height, H.ColorType, H.BitDepth),
              std::tuple(Width, Height, COLOR_RGBALPHA, uint8_t{8}));
  }
  EXPECT_EQ(OracleRgba(ReadFileBytes(Dir.PathOf("out.png"))), (TBytes{200, 100, 50, 128}));
}

} // namespace
