#include "png/pngimage.h"
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"

#include <gtest/gtest.h>

#include <typeinfo>

namespace {

// What each pixel shows through the codec: libpng's 8-bit colours through our gamma table. This
// covers the palette and the grey ramp each index is shown through.
TBytes ShownColours(TPNGObject& Image) {
  TBytes Colours;
  for (int Y = 0; Y < Image.GetHeight(); ++Y)
    for (int X = 0; X < Image.GetWidth(); ++X) {
      const COLORREF Colour = Image.GetPixelColor(X, Y);
      Colours.insert(Colours.end(), {GetRValue(Colour), GetGValue(Colour), GetBValue(Colour)});
    }
  return Colours;
}

TBytes LibpngColours(const TBytes& File, const std::array<uint8_t, 256>& Gamma) {
  const TBytes Rgba = OracleRgba(File);
  TBytes Colours;
  for (size_t At = 0; At < Rgba.size(); At += 4)
    Colours.insert(Colours.end(), {Gamma[Rgba[At]], Gamma[Rgba[At + 1]], Gamma[Rgba[At + 2]]});
  return Colours;
}

class ValidFile : public testing::TestWithParam<std::string> {};

TEST_P(ValidFile, DecodesToLibpngsPixelsAndKeepsItsChunks) {
  const TBytes File = ReadFileBytes(PngSuiteDir() + GetParam());
  TPNGObject Image;
  LoadBytes(Image, File);
  EXPECT_EQ(OurPixels(Image), OraclePixels(File, Image.GammaLut));
  EXPECT_EQ(ChunkTypes(Image), KeptChunkTypes(File));
  EXPECT_EQ(ShownColours(Image), LibpngColours(File, Image.GammaLut));
}

INSTANTIATE_TEST_SUITE_P(PngSuite, ValidFile, testing::ValuesIn(SuiteFiles()),
                         [](const auto& Info) { return Info.param.substr(0, 8); });

// Every damaged file of the corpus, by the exception it raises.
TEST(DamagedFile, IsRejectedWithItsClassAndText) {
  const std::tuple<const std::type_info&, TPngMessageId, std::vector<std::string>> Rejections[] = {
      {typeid(EPNGInvalidFileHeader),
       MsgInvalidFileHeader,
       {"xs1n0g01", "xs2n0g01", "xs4n0g01", "xs7n0g01", "xcrn0g04", "xlfn0g04"}},
      {typeid(EPngInvalidCRC), MsgInvalidCRC, {"xhdn0g08", "xcsn0g01"}},
      {typeid(EPngInvalidIHDR),
       MsgInvalidIHDR,
       {"xc1n0g08", "xc9n2c08", "xd0n2c08", "xd3n2c08", "xd9n2c08"}},
      {typeid(EPNGNoImageData), MsgNoImageData, {"xdtn0g01"}}};
  size_t Files = 0;
  for (const auto& [Class, Message, Names] : Rejections)
    for (const std::string& Name : Names) {
      SCOPED_TRACE(Name);
      ++Files;
      ExpectRejected(ReadFileBytes(PngSuiteDir() + Name + ".png"), Class, PngMessage(Message));
    }
  EXPECT_EQ(SuiteFiles(true).size(), Files);
}

} // namespace
