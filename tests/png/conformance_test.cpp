#include "png/pngimage.h"
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"

#include <gtest/gtest.h>

#include <typeinfo>

namespace {

// The colour table the image shows its indices through: the palette, or the grey ramp, both
// corrected by the image's gamma table.
void ExpectColourTable(const TPNGObject& Image, const TBytes& File) {
  const TChunkIHDR& H = Image.Header();
  if (H.ColorType == COLOR_PALETTE) {
    const auto Palette = OraclePalette(File);
    for (size_t i = 0; i < Palette.size(); ++i) {
      const RGBQUAD& Entry = H.DibInfo.bmiColors[i];
      EXPECT_EQ(Entry.rgbRed, Image.GammaLut[Palette[i][0]]) << i;
      EXPECT_EQ(Entry.rgbGreen, Image.GammaLut[Palette[i][1]]) << i;
      EXPECT_EQ(Entry.rgbBlue, Image.GammaLut[Palette[i][2]]) << i;
    }
  } else if (H.PaletteMode) {
    const int Entries = 1 << H.BitCount();
    for (int i = 0; i < Entries; ++i)
      EXPECT_EQ(H.DibInfo.bmiColors[i].rgbGreen, Image.GammaLut[static_cast<size_t>(i * 255 / (Entries - 1))]) << i;
  }
}

class ValidFile : public testing::TestWithParam<std::string> {};

TEST_P(ValidFile, DecodesToLibpngsPixelsAndKeepsItsChunks) {
  const TBytes File = ReadFileBytes(PngSuiteDir() + GetParam());
  TPNGObject Image;
  LoadBytes(Image, File);
  EXPECT_EQ(OurPixels(Image), OraclePixels(File, Image.GammaLut));
  EXPECT_EQ(ChunkTypes(Image), KeptChunkTypes(File));
  ExpectColourTable(Image, File);
}

INSTANTIATE_TEST_SUITE_P(PngSuite, ValidFile, testing::ValuesIn(SuiteFiles()),
                         [](const auto& Info) { return Info.param.substr(0, 8); });

// Every damaged file of the corpus, by the exception it raises.
TEST(DamagedFile, IsRejectedWithItsClassAndText) {
  const std::tuple<const std::type_info&, TPngMessageId, std::vector<std::string>> Rejections[] = {
      {typeid(EPNGInvalidFileHeader), MsgInvalidFileHeader,
       {"xs1n0g01", "xs2n0g01", "xs4n0g01", "xs7n0g01", "xcrn0g04", "xlfn0g04"}},
      {typeid(EPngInvalidCRC), MsgInvalidCRC, {"xhdn0g08", "xcsn0g01"}},
      {typeid(EPngInvalidIHDR), MsgInvalidIHDR,
       {"xc1n0g08", "xc9n2c08", "xd0n2c08", "xd3n2c08", "xd9n2c08"}},
      {typeid(EPNGNoImageData), MsgNoImageData, {"xdtn0g01"}}};
  size_t Files = 0;
  for (const auto& [Class, Message, Names] : Rejections)
    for (const std::string& Name : Names) {
      SCOPED_TRACE(Name);
      ++Files;
      TPNGObject Image;
      try {
        LoadBytes(Image, ReadFileBytes(PngSuiteDir() + Name + ".png"));
        ADD_FAILURE() << "loaded";
      } catch (const Exception& Error) {
        EXPECT_EQ(typeid(Error), Class);
        EXPECT_EQ(Error.Message(), PngMessage(Message));
      }
    }
  EXPECT_EQ(SuiteFiles(true).size(), Files);
}

} // namespace
