#include "png/pngfilter.h"
#include "png/pngimage.h"
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <random>

namespace {

// The filtered rows of a file: its IDAT bodies joined and inflated.
TBytes FilteredRowsOf(const TBytes& File) {
  TBytes Joined;
  for (const TParsedChunk& Chunk : ParseChunks(File))
    if (Chunk.Type == "IDAT")
      Joined.insert(Joined.end(), Chunk.Body.begin(), Chunk.Body.end());
  TBytes Rows(1 << 20);
  uLongf Size = static_cast<uLongf>(Rows.size());
  EXPECT_EQ(uncompress(Rows.data(), &Size, Joined.data(), static_cast<uLong>(Joined.size())), Z_OK);
  Rows.resize(Size);
  return Rows;
}

std::vector<uint8_t> FilterBytes(const TBytes& Rows, size_t RowBytes) {
  std::vector<uint8_t> Types;
  for (size_t At = 0; At < Rows.size(); At += RowBytes + 1)
    Types.push_back(Rows[At]);
  return Types;
}

struct TWriterSettings {
  uint8_t Filters;
  int Interlace; // -1: as loaded
  uint32_t MaxChunk;
};

class SuiteRoundTrip : public testing::TestWithParam<std::string> {};

// What we write, we and libpng read back to the same image memory, whatever the settings.
TEST_P(SuiteRoundTrip, ReadsBackTheSameImage) {
  const TBytes File = ReadFileBytes(PngSuiteDir() + GetParam());
  const TWriterSettings Settings[] = {
      {pfSub, -1, 65535}, {AllRowFilters, 1, 65535}, {0, 0, 65535}, {pfPaeth | pfUp, 1, 65535}};
  for (const TWriterSettings& S : Settings) {
    TPNGObject Original;
    LoadBytes(Original, File);
    Original.SetRowFilters(S.Filters);
    if (S.Interlace >= 0)
      Original.SetInterlaceKind(static_cast<uint8_t>(S.Interlace));
    const TBytes Saved = SavedBytes(Original);
    TPNGObject Back;
    LoadBytes(Back, Saved);
    EXPECT_EQ(OurPixels(Back), OurPixels(Original)) << int{S.Filters} << "/" << S.Interlace;
    EXPECT_EQ(OraclePixels(Saved, Back.GammaLut), OurPixels(Back)) << int{S.Filters};
    EXPECT_EQ(ChunkTypes(Back), ChunkTypes(Original));
  }
}

INSTANTIATE_TEST_SUITE_P(PngSuite, SuiteRoundTrip, testing::ValuesIn(SuiteFiles()),
                         [](const auto& Info) { return Info.param.substr(0, 8); });

TBytes Resaved(const TBytes& File, uint8_t Filters) {
  TPNGObject Image;
  LoadBytes(Image, File);
  Image.SetRowFilters(Filters);
  return SavedBytes(Image);
}

TEST(FilterChoice, FollowsTheRepeatScore) {
  const TBytes Rgb =
      TPngBuilder().Header(3, 1, 8, 2).Data({0, 10, 20, 30, 11, 21, 31, 12, 22, 32}).End().Bytes();
  EXPECT_EQ(FilteredRowsOf(Resaved(Rgb, pfNone | pfSub))[0], 1);
  const TBytes Flat = TPngBuilder().Header(4, 1, 8, 0).Data({0, 9, 9, 9, 9}).End().Bytes();
  EXPECT_EQ(FilteredRowsOf(Resaved(Flat, pfNone | pfSub))[0], 0) << "a tie goes to the lower type";
  const TBytes Narrow = TPngBuilder().Header(1, 3, 8, 0).Data({0, 1, 0, 2, 0, 3}).End().Bytes();
  EXPECT_EQ(FilterBytes(FilteredRowsOf(Resaved(Narrow, pfSub | pfUp)), 1),
            (std::vector<uint8_t>{0, 0, 0}));
  EXPECT_EQ(FilterBytes(FilteredRowsOf(Resaved(Narrow, pfSub)), 1),
            (std::vector<uint8_t>{1, 1, 1}));
  EXPECT_EQ(FilterBytes(FilteredRowsOf(Resaved(Narrow, 0)), 1), (std::vector<uint8_t>{0, 0, 0}));
  EXPECT_EQ(RepeatScore(Rgb.data(), 2), 0);
}

std::vector<size_t> DataChunkSizes(const TBytes& File) {
  std::vector<size_t> Sizes;
  for (const TParsedChunk& Chunk : ParseChunks(File))
    if (Chunk.Type == "IDAT")
      Sizes.push_back(Chunk.Body.size());
  return Sizes;
}

// Rows of random samples for any colour type and depth; a palette of every index the depth has.
TBytes NoisyImage(uint32_t Width, uint32_t Height, uint8_t Depth, uint8_t ColorType) {
  std::mt19937 Generator(Width * 131 + Depth * 7 + ColorType);
  const auto RowBytes =
      static_cast<size_t>(RowSizeForPixels(static_cast<int32_t>(Width), ColorType, Depth));
  TBytes Raw;
  for (uint32_t y = 0; y < Height; ++y) {
    Raw.push_back(0);
    const TBytes Row = RandomBytes(Generator, RowBytes);
    Raw.insert(Raw.end(), Row.begin(), Row.end());
  }
  TPngBuilder Builder;
  Builder.Header(Width, Height, Depth, ColorType);
  if (ColorType == COLOR_PALETTE)
    Builder.Chunk("PLTE", RandomBytes(Generator, 3u << Depth));
  return Builder.Data(Raw).End().Bytes();
}

// Every chunk but the last holds MaxDataChunkSize bytes, and the last is never empty. The output
// buffer was sized from an estimate that left out the rows of the interlace passes, so a narrow
// interlaced image ended a chunk early.
TEST(DataChunks, AreFullButTheLast) {
  for (const uint32_t MaxChunk : {100000u, 0x7FFFFFFFu}) {
    TPNGObject Image;
    LoadBytes(Image, NoisyImage(300, 300, 8, COLOR_RGB));
    Image.SetMaxDataChunkSize(MaxChunk);
    const std::vector<size_t> Sizes = DataChunkSizes(SavedBytes(Image));
    ASSERT_EQ(Sizes.size(), MaxChunk < 270000 ? 3u : 1u) << MaxChunk;
    for (size_t i = 0; i + 1 < Sizes.size(); ++i)
      EXPECT_EQ(Sizes[i], MaxChunk);
    EXPECT_GT(Sizes.back(), 0u);
  }
  TPNGObject Smallest;
  LoadBytes(Smallest, NoisyImage(6, 377, 4, COLOR_PALETTE));
  Smallest.SetInterlaceKind(1);
  Smallest.ZlibLevel = 3;
  EXPECT_EQ(DataChunkSizes(SavedBytes(Smallest)).size(), 1u);

  const std::pair<uint8_t, uint8_t> Formats[] = {{0, 1}, {0, 2},  {0, 4},  {0, 8}, {0, 16},
                                                 {2, 8}, {2, 16}, {3, 1},  {3, 2}, {3, 4},
                                                 {3, 8}, {4, 8},  {4, 16}, {6, 8}, {6, 16}};
  for (const auto& [ColorType, Depth] : Formats)
    for (const auto& [Width, Height] : {std::pair{3u, 700u}, std::pair{190u, 60u}}) {
      const TBytes File = NoisyImage(Width, Height, Depth, ColorType);
      for (const uint8_t Interlace : {0, 1})
        for (const uint8_t Level : {0, 9}) {
          TPNGObject Image;
          LoadBytes(Image, File);
          Image.SetInterlaceKind(Interlace);
          Image.ZlibLevel = Level;
          const TBytes Saved = SavedBytes(Image);
          const std::vector<size_t> Sizes = DataChunkSizes(Saved);
          ASSERT_FALSE(Sizes.empty());
          for (size_t i = 0; i + 1 < Sizes.size(); ++i)
            EXPECT_EQ(Sizes[i], 65535u) << int{ColorType} << "/" << int{Depth} << " " << Width
                                        << " i" << int{Interlace} << " l" << int{Level};
          TPNGObject Back;
          LoadBytes(Back, Saved);
          EXPECT_EQ(OurPixels(Back), OurPixels(Image));
        }
    }
}

TEST(Samples, SixteenBitsAreWrittenAsTheHighByteTwice) {
  const TBytes File = TPngBuilder()
                          .Header(1, 1, 16, 6)
                          .Data({0, 0x12, 1, 0x34, 2, 0x56, 3, 0xFF, 0xFF})
                          .End()
                          .Bytes();
  EXPECT_EQ(FilteredRowsOf(Resaved(File, 0)),
            (TBytes{0, 0x12, 0x12, 0x34, 0x34, 0x56, 0x56, 0xFF, 0xFF}));
}

TEST(Samples, GammaIsUndoneOnColourOnly) {
  const TBytes Gamma{0, 1, 0x86, 0xA0};
  const TBytes Rgb = TPngBuilder()
                         .Header(1, 1, 8, 6)
                         .Chunk("gAMA", Gamma)
                         .Data({0, 128, 1, 255, 128})
                         .End()
                         .Bytes();
  EXPECT_EQ(FilteredRowsOf(Resaved(Rgb, 0)), (TBytes{0, 128, 1, 255, 128}));
  const TBytes Grey =
      TPngBuilder().Header(1, 1, 8, 4).Chunk("gAMA", Gamma).Data({0, 186, 186}).End().Bytes();
  EXPECT_EQ(FilteredRowsOf(Resaved(Grey, 0)), (TBytes{0, 186, 186}));
}

TEST(Writer, AnImageWithoutRowsHasOneEmptyStream) {
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder().Header(5, 0, 8, 2).Chunk("IDAT", Compress({})).End().Bytes());
  const auto Chunks = ParseChunks(SavedBytes(Image));
  ASSERT_EQ(Chunks.size(), 3u);
  EXPECT_EQ(Chunks[1].Type, "IDAT");
  EXPECT_EQ(FilteredRowsOf(SavedBytes(Image)), TBytes{});
}

TEST(Writer, FailsCleanlyWhereItCannotWrite) {
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder().Header(2, 2, 8, 0).Data({0, 1, 2, 0, 3, 4}).End().Bytes());
  Image.ZlibLevel = 10;
  TMemoryStream Stream;
  EXPECT_THROW(Image.ChunkList.Item(1)->SaveChunk(Stream), EPNGZLIBError);
  EXPECT_EQ(Stream.GetSize(), 0);

  TPNGObject Broken;
  EXPECT_THROW(LoadBytes(Broken, TPngBuilder().Header(65535, 65535, 8, 6).Bytes()), EPNGOutMemory);
  TChunkIDAT Data(&Broken);
  EXPECT_THROW(Data.SaveChunk(Stream), EPNGHeaderNotPresent);
  EXPECT_EQ(Stream.GetSize(), 0);
}

TEST(Writer, ATwoBitImageBecomesFourBitsWithItsKeyAndLosesUnsafeChunks) {
  const TBytes File = TPngBuilder()
                          .Header(4, 1, 2, 0)
                          .Chunk("tRNS", {0, 2})
                          .Chunk("prVT", {1})
                          .Chunk("prvt", {2})
                          .Data({0, 0b11100100})
                          .End()
                          .Bytes();
  TPNGObject Image;
  LoadBytes(Image, File);
  const COLORREF Shown = Image.ImageKeyColor();
  const TBytes Saved = SavedBytes(Image);
  TPNGObject Back;
  LoadBytes(Back, Saved);
  EXPECT_EQ(Back.Header().BitDepth, 4);
  EXPECT_EQ(ChunkTypes(Back), (std::vector<std::string>{"IHDR", "tRNS", "prvt", "IDAT", "IEND"}));
  EXPECT_EQ(Back.ImageKeyColor(), Shown);
  EXPECT_EQ(Back.TransparencyKind(), trColorKey);
  EXPECT_EQ(OurPixels(Back), OurPixels(Image));
}

// Loads File into Image, and what Image saves into Back.
void LoadAndSaveAgain(const TBytes& File, TPNGObject& Image, TPNGObject& Back) {
  LoadBytes(Image, File);
  LoadBytes(Back, SavedBytes(Image));
}

// A later 2-bit header after an unsafe chunk: as written, saving it pruned the list the writer
// was walking, so the chunks after it were skipped and the save still reported success.
TEST(Writer, ALaterTwoBitHeaderDoesNotCutTheFile) {
  const TBytes File = TPngBuilder()
                          .Header(4, 1, 8, 0)
                          .Chunk("prVT", {1})
                          .Chunk("IHDR", HeaderBody(4, 1, 2, 0))
                          .Chunk("tEXt", {'k', 0, 'v'})
                          .Data({0, 1, 2, 3, 4})
                          .End()
                          .Bytes();
  TPNGObject Image, Back;
  LoadAndSaveAgain(File, Image, Back);
  EXPECT_EQ(ChunkTypes(Back), ChunkTypes(Image));
  EXPECT_EQ(OurPixels(Back), OurPixels(Image));
}

TEST(Writer, ATruecolourKeyFollowsTheGammaOfTheSamples) {
  const TBytes File = TPngBuilder()
                          .Header(1, 1, 8, 2)
                          .Chunk("gAMA", {0, 0, 0xC3, 0x50})
                          .Chunk("tRNS", {0, 7, 0, 8, 0, 9})
                          .Data({0, 7, 8, 9})
                          .End()
                          .Bytes();
  TPNGObject Image, Back;
  LoadAndSaveAgain(File, Image, Back);
  EXPECT_EQ(Back.ImageKeyColor(), Image.ImageKeyColor());
  const TChunkIHDR& H = Back.Header();
  EXPECT_EQ(RGB(H.ImageRow(0)[2], H.ImageRow(0)[1], H.ImageRow(0)[0]), Back.ImageKeyColor())
      << "the key still hits the pixel that had it";
}

} // namespace
