// Every saved fuzz finding, and every seed, goes through the fuzz targets' own harness in the
// normal builds: a finding aborts the test.
#include "fuzz/bmp_differences.h"
#include "fuzz/differential.h"
#include "fuzz/harness.h"
#include "png/pnginflater.h"
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace {

using THarness = void (*)(const uint8_t*, size_t);

// Replays every file of the directories; returns how many there were.
int Replay(const std::vector<std::string>& Directories, THarness Harness) {
  int Count = 0;
  for (const std::string& Directory : Directories) {
    if (!std::filesystem::is_directory(Directory))
      continue;
    for (const auto& Entry : std::filesystem::directory_iterator(Directory)) {
      if (!Entry.is_regular_file() || Entry.path().extension() == ".md" ||
          Entry.path().extension() == ".py")
        continue;
      SCOPED_TRACE(Entry.path().string());
      const TBytes Bytes = ReadFileBytes(Entry.path().string());
      Harness(Bytes.data(), Bytes.size());
      ++Count;
    }
  }
  return Count;
}

TEST(FuzzReplay, PngFindingsAndSeeds) {
  EXPECT_GT(Replay({"fuzz/regressions/png", "fuzz/seeds/png", PngSuiteDir()}, FuzzPng), 170);
}

TEST(FuzzReplay, BitmapFindingsAndSeeds) {
  EXPECT_GT(Replay({"fuzz/regressions/bmp", "fuzz/regressions/bmp_vs_magick", "fuzz/seeds/bmp",
                    "tests/data/bmp"},
                   FuzzBitmap),
            28);
}

TEST(FuzzReplay, ContainerFindingsAndSeeds) {
  EXPECT_GE(Replay({"fuzz/regressions/vqz", "fuzz/seeds/vqz"}, FuzzContainer), 4);
}

void ExpectAgreementWithLibpng(const uint8_t* Data, size_t Size) {
  const TDifferential Result = CompareWithLibpng(Data, Size);
  EXPECT_NE(Result.Agreement, TAgreement::Finding) << Result.What;
}

// Every saved finding of the differential target, and every other PNG input we keep: libpng and
// we agree, or differ as fuzz/DIFFERENCES.md lists.
TEST(FuzzReplay, AgreesWithLibpngOrDiffersAsListed) {
  EXPECT_GT(Replay({"fuzz/regressions/png_vs_libpng", "fuzz/regressions/png", "fuzz/seeds/png",
                    PngSuiteDir()},
                   ExpectAgreementWithLibpng),
            170);
}

// Names compared in lower case, with hyphens for spaces, as file names hold them.
std::string Plain(std::string Name) {
  for (char& Letter : Name)
    Letter = Letter == ' ' ? '-' : static_cast<char>(std::tolower(Letter));
  return Name;
}

// The name of a listed difference from the name of its file: "wrong-crc-of-an-ancillary-chunk"
// or, for one case of it, "header-libpng-refuses--zero-width".
std::string DifferenceNamed(const std::filesystem::path& File) {
  const std::string Name = File.stem().string();
  return Name.substr(0, Name.find("--"));
}

struct TDifferenceFile {
  std::string Path;
  std::string Difference; // its name, as DifferenceNamed gives it
  TBytes Bytes;
};

// The smallest files of the listed differences that have the extension.
std::vector<TDifferenceFile> DifferenceFiles(const std::string& Extension) {
  std::vector<TDifferenceFile> Files;
  for (const auto& Entry : std::filesystem::directory_iterator("fuzz/differences"))
    if (Entry.path().extension() == Extension)
      Files.push_back({Entry.path().string(), DifferenceNamed(Entry.path()),
                       ReadFileBytes(Entry.path().string())});
  return Files;
}

// Each listed difference has its smallest files, and the harness tells it in each by the file's
// structure, in the direction listed. ISA-L's laxness is one only where ISA-L inflates.
TEST(FuzzReplay, TellsEachListedDifferenceInItsSmallestFiles) {
  const std::vector<TDifferenceFile> Files = DifferenceFiles(".png");
  for (const auto& [Path, Name, Bytes] : Files) {
    const TDifferential Result = CompareWithLibpng(Bytes.data(), Bytes.size());
    if (Name == "huffman-code-set-that-isa-l-takes" && ImageInflaterInUse() != ikIsal) {
      EXPECT_EQ(Result.What, "both refuse");
    } else {
      EXPECT_EQ(Result.Agreement, TAgreement::Listed) << Path;
      EXPECT_EQ(Plain(Result.What), Name);
    }
  }
  EXPECT_GE(Files.size(), 17u);
}

// The bitmap differences with ImageMagick likewise, and none in the seeds, whose codes stay
// inside their rows (the fixtures' encoder codes each row's padding past its right edge) and
// whose pixels index only the colours they list.
TEST(FuzzReplay, TellsEachListedBitmapDifferenceInItsSmallestFiles) {
  const std::vector<TDifferenceFile> Files = DifferenceFiles(".bmp");
  for (const auto& [Path, Name, Bytes] : Files)
    EXPECT_EQ(Plain(WhyPixelsDifferFromImageMagick(Bytes.data(), Bytes.size()).value_or("")), Name)
        << Path;
  EXPECT_GE(Files.size(), 4u);
  for (const char* Sound : {"fuzz/seeds/bmp/rle8.bmp", "fuzz/seeds/bmp/rle4.bmp"}) {
    const TBytes Bytes = ReadFileBytes(Sound);
    EXPECT_EQ(WhyPixelsDifferFromImageMagick(Bytes.data(), Bytes.size()), std::nullopt) << Sound;
  }
}

// The filtered size of an Adam7 image of the format: each pass's rows, a filter byte each.
size_t Adam7FilteredSize(uint32_t Width, uint32_t Height, uint8_t ColorType, uint8_t Depth) {
  const uint32_t Passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                 {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  size_t Size = 0;
  for (const auto& [Column, Row, ColumnStep, RowStep] : Passes) {
    const uint32_t Columns = Width > Column ? (Width - Column + ColumnStep - 1) / ColumnStep : 0;
    const uint32_t Rows = Height > Row ? (Height - Row + RowStep - 1) / RowStep : 0;
    if (Columns > 0)
      Size += Rows * (1 + static_cast<size_t>(
                              RowSizeForPixels(static_cast<int32_t>(Columns), ColorType, Depth)));
  }
  return Size;
}

// Beyond not crashing, each PNG finding has the outcome it must. The pixel loop that timed out:
// image data that ends early leaves the rest zero, which is what libpng decodes when the data is
// completed with zero bytes (filter None, samples 0).
TEST(FuzzReplay, TheShortImageDataFindingDecodesAsIfCompletedWithZeros) {
  const TBytes File = ReadFileBytes("fuzz/regressions/png/timeout-65535x32-grey4-pixel-loop.png");
  TPNGObject Image;
  LoadBytes(Image, File);
  TBytes Rows(Adam7FilteredSize(65535, 32, COLOR_GRAYSCALE, 4), 0);
  TBytes Data;
  for (const TParsedChunk& Chunk : ParseChunks(File))
    if (Chunk.Type == "IDAT")
      Data = Chunk.Body;
  uLongf Size = static_cast<uLongf>(Rows.size());
  ASSERT_EQ(uncompress(Rows.data(), &Size, Data.data(), static_cast<uLong>(Data.size())), Z_OK);
  ASSERT_LT(Size, Rows.size()) << "the data ends early";
  const TBytes Completed = TPngBuilder()
                               .Header(65535, 32, 4, COLOR_GRAYSCALE, 1)
                               .Chunk("gAMA", ParseChunks(File)[1].Body)
                               .Data(Rows)
                               .End()
                               .Bytes();
  EXPECT_EQ(OurPixels(Image), OraclePixels(Completed, Image.GammaLut));
}

// The later 2-bit header whose save lost the chunks after it: every chunk, kept as read, comes
// back from the save, and so do the pixels.
TEST(FuzzReplay, TheLaterTwoBitHeaderFindingSavesEveryChunk) {
  TPNGObject Image, Back;
  LoadBytes(Image, ReadFileBytes("fuzz/regressions/png/lost-chunks-after-later-2bit-header.png"));
  const std::vector<std::string> Types = ChunkTypes(Image);
  EXPECT_EQ(std::count(Types.begin(), Types.end(), "IHDR"), 2);
  EXPECT_EQ(Types.size(), 15u);
  LoadBytes(Back, SavedBytes(Image));
  EXPECT_EQ(ChunkTypes(Back), Types);
  EXPECT_EQ(OurPixels(Back), OurPixels(Image));
}

// The structure-aware mutator leaves nothing but right CRCs behind.
TEST(FuzzReplay, FixedCrcsLoadWhereOnlyTheCrcWasWrong) {
  TBytes File = ReadFileBytes(PngSuiteDir() + "basn0g08.png");
  for (const size_t At : {size_t{29}, size_t{31}, File.size() - 2}) // CRC bytes only
    File[At] ^= 0x5A;
  EXPECT_EQ(FixPngCrcs(File.data(), File.size()), File.size());
  EXPECT_EQ(File, ReadFileBytes(PngSuiteDir() + "basn0g08.png"));
}

} // namespace
