// Thumbnails: the streaming area average against its plain twin, a case worked by hand, the
// sizes a picture is fitted to, and what vqzconv writes and says.
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"
#include "tests/support/testfiles.h"
#include "tools/areaaverage.h"
#include "tools/thumbnail.h"
#include "tools/vqzconv.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

// Random pixels, a quarter of them clear and a quarter opaque, so that weighting by alpha shows.
std::vector<uint8_t> RandomPixels(TPictureSize Size, std::mt19937& Random) {
  std::vector<uint8_t> Pixels = RandomBytes(Random, size_t{Size.Width} * Size.Height * 4);
  for (size_t At = 3; At < Pixels.size(); At += 4)
    Pixels[At] = Pixels[At] < 64 ? 0 : Pixels[At] < 128 ? 255 : Pixels[At];
  return Pixels;
}

class AreaAverageTwins : public testing::TestWithParam<std::pair<TPictureSize, TPictureSize>> {};

TEST_P(AreaAverageTwins, StreamingGivesThePlainResult) {
  const auto [From, To] = GetParam();
  std::mt19937 Random(From.Width * 7919 + To.Height);
  const std::vector<uint8_t> Pixels = RandomPixels(From, Random);
  uint32_t NextRow = 0;
  const auto ReadRow = [&](uint32_t Y, uint8_t* Row) {
    ASSERT_EQ(Y, NextRow++);
    std::copy_n(&Pixels[size_t{Y} * From.Width * 4], size_t{From.Width} * 4, Row);
  };
  EXPECT_EQ(AreaAverage(From, ReadRow, To), AreaAveragePlain(From, Pixels, To));
  EXPECT_EQ(NextRow, From.Height);
}

INSTANTIATE_TEST_SUITE_P(Sizes, AreaAverageTwins,
                         testing::Values(std::pair(TPictureSize{4, 4}, TPictureSize{2, 2}),
                                         std::pair(TPictureSize{37, 23}, TPictureSize{10, 7}),
                                         std::pair(TPictureSize{33, 17}, TPictureSize{32, 16}),
                                         std::pair(TPictureSize{64, 1}, TPictureSize{5, 1}),
                                         std::pair(TPictureSize{1, 50}, TPictureSize{1, 3}),
                                         std::pair(TPictureSize{100, 3}, TPictureSize{7, 1}),
                                         std::pair(TPictureSize{13, 9}, TPictureSize{13, 9}),
                                         std::pair(TPictureSize{9, 9}, TPictureSize{1, 1})));

// Each 2 x 2 block of a 4 x 4 picture becomes one pixel; clear pixels lend no colour.
TEST(AreaAverage, FourByFourToTwoByTwoByHand) {
  const std::vector<std::array<uint8_t, 4>> Blocks[] = {
      {{10, 20, 30, 255}, {30, 40, 50, 255}, {50, 60, 70, 255}, {70, 80, 90, 255}},
      {{0, 0, 0, 0}, {200, 100, 50, 255}, {0, 0, 0, 0}, {200, 100, 50, 255}},
      {{0, 0, 0, 100}, {255, 255, 255, 200}, {0, 0, 0, 100}, {255, 255, 255, 200}},
      {{9, 9, 9, 0}, {9, 9, 9, 0}, {9, 9, 9, 0}, {9, 9, 9, 0}}};
  const std::vector<uint8_t> Expected = {40,  50,  60,  255, 200, 100, 50, 128,
                                         170, 170, 170, 150, 0,   0,   0,  0};
  std::vector<uint8_t> Pixels(4 * 4 * 4);
  for (size_t Block = 0; Block < 4; ++Block)
    for (size_t Corner = 0; Corner < 4; ++Corner) {
      const size_t X = Block % 2 * 2 + Corner % 2, Y = Block / 2 * 2 + Corner / 2;
      std::copy_n(Blocks[Block][Corner].begin(), 4, &Pixels[(Y * 4 + X) * 4]);
    }
  EXPECT_EQ(AreaAveragePlain({4, 4}, Pixels, {2, 2}), Expected);
}

TEST(Thumbnail, FitsTheBoxKeepingTheAspectAndNeverEnlarges) {
  const std::tuple<TPictureSize, uint32_t, TPictureSize> Cases[] = {
      {{300, 100}, 128, {128, 43}},  {{100, 300}, 128, {43, 128}},  {{5, 3}, 128, {5, 3}},
      {{1, 1}, 128, {1, 1}},         {{1000, 1}, 128, {128, 1}},    {{1, 4096}, 16, {1, 16}},
      {{128, 128}, 128, {128, 128}}, {{129, 129}, 128, {128, 128}}, {{65535, 65535}, 1, {1, 1}}};
  for (const auto& [Picture, Box, Expected] : Cases)
    EXPECT_EQ(ThumbnailSize(Picture, Box), Expected) << Picture.Width << "x" << Picture.Height;
}

class ThumbnailCommand : public testing::Test {
protected:
  int Run(const std::vector<std::string>& Args) {
    std::ostringstream Out;
    Err.str("");
    return RunVqzconv(Args, Out, Err);
  }
  TScratchDir Dir;
  std::ostringstream Err;
};

// Grey pictures of any size, written by the test's own builder.
TBytes GreyPng(uint32_t Width, uint32_t Height) {
  TBytes Rows;
  for (uint32_t Y = 0; Y < Height; ++Y) {
    Rows.push_back(0);
    for (uint32_t X = 0; X < Width; ++X)
      Rows.push_back(static_cast<uint8_t>(X + Y));
  }
  return TPngBuilder().Header(Width, Height, 8, COLOR_GRAYSCALE).Data(Rows).End().Bytes();
}

TEST_F(ThumbnailCommand, WritesAnRgbaPngOfTheFittedSize) {
  const std::tuple<uint32_t, uint32_t, std::vector<std::string>, uint32_t, uint32_t> Cases[] = {
      {300, 100, {}, 128, 43},
      {100, 300, {"--size", "64"}, 21, 64},
      {5, 3, {}, 5, 3},
      {1, 1, {"--size=1"}, 1, 1}};
  for (const auto& [Width, Height, Options, ToWidth, ToHeight] : Cases) {
    std::vector<std::string> Args{"thumbnail", Dir.Write("in.png", GreyPng(Width, Height)),
                                  Dir.PathOf("out.png")};
    Args.insert(Args.end(), Options.begin(), Options.end());
    ASSERT_EQ(Run(Args), ExitOk) << Err.str();
    TPNGObject Written;
    LoadBytes(Written, ReadFileBytes(Dir.PathOf("out.png")));
    const TChunkIHDR& H = Written.Header();
    EXPECT_EQ(std::tuple(H.Width, H.Height, H.ColorType, H.BitDepth),
              std::tuple(ToWidth, ToHeight, COLOR_RGBALPHA, uint8_t{8}));
  }
}

// What libpng reads from the thumbnail is the average of what the picture shows, alpha and all.
TEST_F(ThumbnailCommand, KeepsTransparencyAsAlpha) {
  const TBytes Rows = {0, 0, 0, 0, 0, 200, 100, 50, 255, 0, 0, 0, 0, 0, 200, 100, 50, 255};
  const std::string In = Dir.Write(
      "in.vqz", VqzOf(TPngBuilder().Header(2, 2, 8, COLOR_RGBALPHA).Data(Rows).End().Bytes(), 40));
  ASSERT_EQ(Run({"thumbnail", In, Dir.PathOf("out.png"), "--size", "1"}), ExitOk) << Err.str();
  EXPECT_EQ(OracleRgba(ReadFileBytes(Dir.PathOf("out.png"))), (TBytes{200, 100, 50, 128}));
}

TEST_F(ThumbnailCommand, FailuresExitAsConvertDoes) {
  TBytes Damaged = GreyPng(20, 20);
  Damaged[40] ^= 1;
  const std::string Bad = Dir.Write("bad.png", Damaged);
  const std::string Message = MessageOf<Exception>([&] {
    TPNGObject Image;
    LoadBytes(Image, Damaged);
  });
  const std::tuple<std::vector<std::string>, int, std::string> Cases[] = {
      {{"thumbnail", Bad, Dir.PathOf("out.png")}, ExitFailed, Bad + ": " + Message},
      {{"thumbnail", Dir.PathOf("none.vqz"), Dir.PathOf("out.png")},
       ExitContainer,
       Dir.PathOf("none.vqz") + ": no such file"},
      {{"thumbnail", Bad}, ExitUsage, "vqzconv: usage: vqzconv thumbnail IN OUT"},
      {{"thumbnail", Bad, "o.png", "--size", "0"}, ExitUsage, "vqzconv: --size must be at least 1"},
      {{"thumbnail", Bad, "o.png", "--size", "16385"},
       ExitUsage,
       "vqzconv: --size must be at most 16384"},
      {{"convert", Bad, "o.png", "--size", "16"},
       ExitUsage,
       "vqzconv: --size goes with thumbnail only"}};
  for (const auto& [Args, Status, Said] : Cases) {
    EXPECT_EQ(Run(Args), Status) << Said;
    EXPECT_EQ(Err.str().rfind(Said, 0), 0u) << Err.str();
    EXPECT_FALSE(std::filesystem::exists(Dir.PathOf("out.png")));
  }
}

} // namespace
