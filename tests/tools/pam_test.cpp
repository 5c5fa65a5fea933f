// PAM output against libpng: every valid PngSuite file gives the colours libpng decodes, through
// our gamma table, with libpng's alpha; keys of samples held as their high byte by the shown
// colours.
#include "png/pngimage.h"
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"
#include "tools/pam.h"

#include <gtest/gtest.h>

namespace {

class PamSuite : public testing::TestWithParam<std::string> {};

TEST_P(PamSuite, ShowsWhatLibpngDecodesThroughOurGamma) {
  const TBytes File = ReadFileBytes(PngSuiteDir() + GetParam());
  TPNGObject Image;
  LoadBytes(Image, File);
  TMemoryStream Stream;
  WritePam(Image, Stream);
  const TChunkIHDR& H = Image.Header();
  const std::string Header = "P7\nWIDTH " + std::to_string(H.Width) + "\nHEIGHT " +
                             std::to_string(H.Height) +
                             "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  const TBytes Written = StreamBytes(Stream);
  TBytes Want = OracleRgba(File);
  ASSERT_EQ(Written.size(), Header.size() + Want.size());
  const uint8_t* Pam = Written.data() + Header.size();
  const bool ColourKeyed =
      !H.HasAlpha() && H.ColorType != COLOR_PALETTE && Image.TransparencyKind() == trColorKey;
  const COLORREF Key = Image.ImageKeyColor();
  const auto* Transparency = Image.ChunkList.ItemOf<TChunktRNS>();
  for (size_t At = 0; At < Want.size(); At += 4) {
    const uint8_t HighByte = Want[At];
    for (size_t Channel = 0; Channel < 3; ++Channel)
      Want[At + Channel] = Image.GammaLut[Want[At + Channel]];
    // libpng keys the samples as stored; ours are held as their high byte, truecolour ones
    // keyed by the colour they show.
    if (ColourKeyed && (H.ColorType == COLOR_RGB || H.BitDepth == 16)) {
      EXPECT_TRUE(Want[At + 3] == 255 || Pam[At + 3] == 0) << "libpng keys pixel " << At / 4;
      const bool Keyed = H.ColorType == COLOR_RGB ? RGB(Want[At], Want[At + 1], Want[At + 2]) == Key
                                                  : HighByte == Transparency->AlphaTable[0];
      Want[At + 3] = Keyed ? 0 : 255;
    }
  }
  Want.insert(Want.begin(), Header.begin(), Header.end());
  EXPECT_EQ(Written, Want);
}

INSTANTIATE_TEST_SUITE_P(Pam, PamSuite, testing::ValuesIn(SuiteFiles()), [](const auto& Info) {
  return Info.param.substr(0, Info.param.size() - 4);
});

TEST(Pam, AnImageWithoutPixelsIsRefused) {
  for (const auto& [Width, Height] : {std::pair{0u, 3u}, std::pair{3u, 0u}}) {
    TPNGObject Image;
    LoadBytes(Image, TPngBuilder().Header(Width, Height, 8, COLOR_RGB).Data({}).End().Bytes());
    TMemoryStream Stream;
    EXPECT_THROW(WritePam(Image, Stream), EInvalidGraphic);
    EXPECT_EQ(Stream.GetSize(), 0);
  }
}

} // namespace
