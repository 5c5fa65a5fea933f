#include "png/pngimage.h"
#include "tests/png/pngsuite_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::vector<std::string> SuiteFiles(bool Damaged) {
  std::vector<std::string> Names;
  for (const auto& Entry : std::filesystem::directory_iterator(PngSuiteDir())) {
    const std::string Name = Entry.path().filename().string();
    if (Entry.path().extension() == ".png" && (Name[0] == 'x') == Damaged)
      Names.push_back(Name);
  }
  std::sort(Names.begin(), Names.end());
  return Names;
}

std::vector<std::string> ChunkTypesOf(const TPNGObject& Image) {
  std::vector<std::string> Types;
  for (int32_t i = 0; i < Image.ChunkList.Count(); ++i)
    Types.push_back(ChunkTagText(Image.ChunkList.Item(i)->ChunkTag));
  return Types;
}

void Load(TPNGObject& Image, const TBytes& File) {
  TMemoryStream Stream;
  Stream.WriteBuffer(File.data(), static_cast<int64_t>(File.size()));
  Stream.SetPosition(0);
  Image.LoadFromStream(Stream);
}

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
  Load(Image, File);
  EXPECT_EQ(OurPixels(Image), OraclePixels(File, Image.GammaLut));
  EXPECT_EQ(ChunkTypesOf(Image), KeptChunkTypes(File));
  ExpectColourTable(Image, File);
}

INSTANTIATE_TEST_SUITE_P(PngSuite, ValidFile, testing::ValuesIn(SuiteFiles(false)),
                         [](const auto& Info) { return Info.param.substr(0, 8); });

struct TRejection {
  const char* File;
  const char* Class;
  TPngMessageId Message;
};

std::string ClassOf(const Exception& Error) {
  if (dynamic_cast<const EPNGInvalidFileHeader*>(&Error))
    return "EPNGInvalidFileHeader";
  if (dynamic_cast<const EPngInvalidCRC*>(&Error))
    return "EPngInvalidCRC";
  if (dynamic_cast<const EPngInvalidIHDR*>(&Error))
    return "EPngInvalidIHDR";
  if (dynamic_cast<const EPNGNoImageData*>(&Error))
    return "EPNGNoImageData";
  return "another class";
}

class DamagedFile : public testing::TestWithParam<TRejection> {};

TEST_P(DamagedFile, IsRejectedWithItsClassAndText) {
  const TBytes File = ReadFileBytes(PngSuiteDir() + GetParam().File);
  TPNGObject Image;
  try {
    Load(Image, File);
    FAIL() << "loaded";
  } catch (const Exception& Error) {
    EXPECT_EQ(ClassOf(Error), GetParam().Class);
    EXPECT_EQ(Error.Message(), PngMessage(GetParam().Message));
  }
}

INSTANTIATE_TEST_SUITE_P(
    PngSuite, DamagedFile,
    testing::Values(TRejection{"xs1n0g01.png", "EPNGInvalidFileHeader", MsgInvalidFileHeader},
                    TRejection{"xs2n0g01.png", "EPNGInvalidFileHeader", MsgInvalidFileHeader},
                    TRejection{"xs4n0g01.png", "EPNGInvalidFileHeader", MsgInvalidFileHeader},
                    TRejection{"xs7n0g01.png", "EPNGInvalidFileHeader", MsgInvalidFileHeader},
                    TRejection{"xcrn0g04.png", "EPNGInvalidFileHeader", MsgInvalidFileHeader},
                    TRejection{"xlfn0g04.png", "EPNGInvalidFileHeader", MsgInvalidFileHeader},
                    TRejection{"xhdn0g08.png", "EPngInvalidCRC", MsgInvalidCRC},
                    TRejection{"xcsn0g01.png", "EPngInvalidCRC", MsgInvalidCRC},
                    TRejection{"xc1n0g08.png", "EPngInvalidIHDR", MsgInvalidIHDR},
                    TRejection{"xc9n2c08.png", "EPngInvalidIHDR", MsgInvalidIHDR},
                    TRejection{"xd0n2c08.png", "EPngInvalidIHDR", MsgInvalidIHDR},
                    TRejection{"xd3n2c08.png", "EPngInvalidIHDR", MsgInvalidIHDR},
                    TRejection{"xd9n2c08.png", "EPngInvalidIHDR", MsgInvalidIHDR},
                    TRejection{"xdtn0g01.png", "EPNGNoImageData", MsgNoImageData}),
    [](const auto& Info) { return std::string(Info.param.File).substr(0, 8); });

TEST(PngSuiteCoverage, EveryDamagedFileIsInTheTable) {
  EXPECT_EQ(SuiteFiles(true).size(), 14u);
}

} // namespace
