#include "png/pngimage.h"
#include "tests/png/png_builder.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// A palette image 4 pixels wide, indices 0 1 2 3, with the given palette and extra chunks.
TBytes PaletteImage(const TBytes& Palette,
                    const std::vector<std::pair<std::string, TBytes>>& Extra) {
  TPngBuilder Builder;
  Builder.Header(4, 1, 8, 3).Chunk("PLTE", Palette);
  for (const auto& [Type, Body] : Extra)
    Builder.Chunk(Type, Body);
  return Builder.Data({0, 0, 1, 2, 3}).End().Bytes();
}

const TBytes FourColours{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};

template <class T>
T& First(TPNGObject& Image) {
  return *Image.ChunkList.ItemOf<T>();
}

// A 1 x 1 8-bit grey image with one more chunk.
TBytes GreyWith(const std::string& Type, const TBytes& Body) {
  return TPngBuilder().Header(1, 1, 8, 0).Chunk(Type, Body).Data({0, 0}).End().Bytes();
}

// The body the chunk writes.
TBytes SavedBody(TChunk& Chunk) {
  TMemoryStream Stream;
  Chunk.SaveChunk(Stream);
  return TBytes(Stream.Memory() + 8, Stream.Memory() + Stream.GetSize() - 4);
}

// Entries past the palette are refused by name; a body longer than 256 entries is invalid, for
// the palette and for its transparency alike.
TEST(Palette, EntriesAndBodyLengthsAreChecked) {
  TPNGObject Image;
  LoadBytes(Image, PaletteImage(FourColours, {}));
  auto& Palette = First<TChunkPLTE>(Image);
  EXPECT_EQ(Palette.GetEntry(1), 60u | 50u << 8 | 40u << 16);
  EXPECT_EQ(MessageOf<EPngError>([&] { Palette.GetEntry(4); }), "There is no such palette entry.");
  const auto WithPalette = [](size_t Size) {
    return TPngBuilder()
        .Header(1, 1, 8, 3)
        .Chunk("PLTE", TBytes(Size, 1))
        .Data({0, 0})
        .End()
        .Bytes();
  };
  for (const size_t Size : {0u, 768u}) {
    LoadBytes(Image, WithPalette(Size));
    EXPECT_EQ(First<TChunkPLTE>(Image).EntryCount, Size / 3);
  }
  const std::string Invalid = PngMessage(MsgInvalidPalette);
  for (const size_t Size : {769u, 771u})
    ExpectRejected(WithPalette(Size), typeid(EPNGInvalidPalette), Invalid);
  ExpectRejected(PaletteImage(FourColours, {{"tRNS", TBytes(257, 1)}}), typeid(EPNGInvalidPalette),
                 Invalid);
  LoadBytes(Image, PaletteImage(FourColours, {{"tRNS", TBytes(256, 1)}}));
}

TEST(Palette, InAGreyImageLeavesTheRampAndIsWrittenBackAsRead) {
  TPNGObject Image;
  LoadBytes(Image,
            TPngBuilder().Header(1, 1, 8, 0).Chunk("PLTE", FourColours).Data({0, 0}).End().Bytes());
  EXPECT_EQ(Image.Header().DibInfo.bmiColors[1].rgbRed, 1);
  EXPECT_EQ(SavedBody(First<TChunkPLTE>(Image)), FourColours);
}

// Only entries of the palette count; one fully clear entry is a colour key. A tRNS with exactly
// one entry below 255 is binary.
TEST(Transparency, OfAPaletteIsClassifiedFromTheEntriesThatExist) {
  const std::tuple<const char*, TBytes, TTransparencyKind, COLORREF, bool> Cases[] = {
      // the tRNS body of the 4-colour palette image (empty: no tRNS), kind, key, binary
      {"None", {}, trOpaque, 0, false},
      {"AllOpaque", {255, 255}, trOpaque, 0, false},
      {"OneClear", {255, 0, 255}, trColorKey, RGB(40, 50, 60), true},
      {"OneHalf", {128}, trAlpha, 0, true},
      {"TwoEntries", {0, 128}, trAlpha, RGB(10, 20, 30), false},
      {"BeyondThePalette", {255, 255, 255, 255, 0}, trOpaque, 0, true}};
  for (const auto& [Name, Alpha, Kind, Key, Binary] : Cases) {
    TPNGObject Image;
    std::vector<std::pair<std::string, TBytes>> Extra;
    if (!Alpha.empty())
      Extra.emplace_back("tRNS", Alpha);
    LoadBytes(Image, PaletteImage(FourColours, Extra));
    EXPECT_EQ(Image.TransparencyKind(), Kind) << Name;
    EXPECT_EQ(Image.ImageKeyColor(), Key) << Name;
    if (!Alpha.empty()) {
      EXPECT_EQ(First<TChunktRNS>(Image).BinaryTransparency, Binary) << Name;
    }
  }
  TPNGObject NoPalette;
  LoadBytes(NoPalette,
            TPngBuilder().Header(1, 1, 8, 3).Chunk("tRNS", {0}).Data({0, 0}).End().Bytes());
  EXPECT_EQ(NoPalette.TransparencyKind(), trOpaque);
  EXPECT_EQ(NoPalette.ImageKeyColor(), 0u);
}

// The key is the colour its sample is shown as; a key of the wrong length or beyond the depth
// is no key: the image is opaque and the chunk is kept as read.
TEST(KeyColour, IsTheColourTheSampleShowsAs) {
  const std::tuple<const char*, uint8_t, uint8_t, TBytes, TTransparencyKind, COLORREF, TBytes>
      Cases[] = {// depth, colour type, key, kind, shown, the body written back when it differs from
                 // the key
                 {"Grey8", 8, 0, {0, 0x80}, trColorKey, RGB(128, 128, 128), {}},
                 {"Grey2", 2, 0, {0, 2}, trColorKey, RGB(170, 170, 170), {}},
                 {"Grey4", 4, 0, {0, 1}, trColorKey, RGB(17, 17, 17), {}},
                 {"Grey16", 16, 0, {0xAB, 0xCD}, trColorKey, RGB(0xAB, 0xAB, 0xAB), {0xAB, 0xAB}},
                 {"Rgb8", 8, 2, {0, 0x10, 0, 0x20, 0, 0x30}, trColorKey, RGB(16, 32, 48), {}},
                 {"Rgb16", 16, 2, {1, 2, 3, 4, 5, 6}, trColorKey, RGB(1, 3, 5), {1, 1, 3, 3, 5, 5}},
                 {"GreyTooLong", 8, 0, {0, 1, 2}, trOpaque, 0, {}},
                 {"GreyBeyondDepth", 4, 0, {0, 16}, trOpaque, 0, {}},
                 {"RgbTooShort", 8, 2, {0, 1}, trOpaque, 0, {}},
                 {"RgbBeyondDepth", 8, 2, {1, 0, 0, 0, 0, 0}, trOpaque, 0, {}}};
  for (const auto& [Name, Depth, ColorType, Key, Kind, Shown, Saved] : Cases) {
    SCOPED_TRACE(Name);
    const int Samples = ColorType == 2 ? 3 : 1;
    const TBytes Row(1 + static_cast<size_t>(Samples * Depth / 8 + 1), 0);
    TPNGObject Image;
    LoadBytes(
        Image,
        TPngBuilder().Header(1, 1, Depth, ColorType).Chunk("tRNS", Key).Data(Row).End().Bytes());
    EXPECT_EQ(Image.TransparencyKind(), Kind);
    EXPECT_EQ(Image.ImageKeyColor(), Shown);
    EXPECT_EQ(SavedBody(First<TChunktRNS>(Image)), Saved.empty() ? Key : Saved);
  }
}

// The key written is the sample the image shows as the colour; a palette key is searched among
// the palette's own entries only (black lies only beyond it here: entry 0 becomes the key).
TEST(SetKeyColor, WritesTheSampleTheImageShows) {
  TPNGObject Rgb;
  LoadBytes(
      Rgb,
      TPngBuilder().Header(1, 1, 16, 2).Chunk("tRNS", TBytes(6)).Data(TBytes(7)).End().Bytes());
  auto& Key = First<TChunktRNS>(Rgb);
  Key.SetKeyColor(RGB(1, 2, 3));
  EXPECT_EQ(SavedBody(Key), (TBytes{1, 1, 2, 2, 3, 3}));
  EXPECT_EQ(Rgb.ImageKeyColor(), RGB(1, 2, 3));
  TPNGObject Image;
  LoadBytes(Image, PaletteImage(FourColours, {{"tRNS", {255}}}));
  auto& PaletteKey = First<TChunktRNS>(Image);
  PaletteKey.SetKeyColor(RGB(70, 80, 90));
  EXPECT_EQ(PaletteKey.ChunkBodySize(), 3);
  EXPECT_EQ(Image.ImageKeyColor(), RGB(70, 80, 90));
  PaletteKey.SetKeyColor(RGB(0, 0, 0));
  EXPECT_EQ(PaletteKey.ChunkBodySize(), 1);
  EXPECT_EQ(PaletteKey.AlphaTable[0], 0);
}

TEST(Gamma, TablesComeOutExactly) {
  const auto TablesFor = [](uint32_t Value) {
    TPNGObject Image;
    const TBytes Body{static_cast<uint8_t>(Value >> 24), static_cast<uint8_t>(Value >> 16),
                      static_cast<uint8_t>(Value >> 8), static_cast<uint8_t>(Value)};
    LoadBytes(
        Image,
        TPngBuilder().Header(1, 1, 8, 2).Chunk("gAMA", Body).Data({0, 0, 0, 0}).End().Bytes());
    return std::pair{Image.GammaLut, Image.InverseGammaLut};
  };
  const std::tuple<uint32_t, bool, size_t, int> Entries[] = {
      // gamma, the inverse table or the forward one, index, value
      {100000, false, 1, 21},    {100000, false, 128, 186}, {100000, false, 254, 255},
      {100000, false, 255, 255}, {100000, true, 21, 1},     {100000, true, 186, 128},
      {100000, true, 255, 255},  {100000, true, 22, 22},    {1, false, 254, 0},
      {1, false, 255, 255},      {1, true, 0, 254}};
  for (const auto& [Gamma, Inverse, Index, Value] : Entries) {
    const auto Tables = TablesFor(Gamma);
    EXPECT_EQ((Inverse ? Tables.second : Tables.first)[Index], Value) << Gamma << " " << Index;
  }
  const auto Identity = TablesFor(45455).first;
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(Identity[static_cast<size_t>(i)], i);
  const auto Half = TablesFor(50000).second;
  EXPECT_EQ(TBytes(Half.begin(), Half.begin() + 8), (TBytes{0, 1, 1, 2, 3, 5, 4, 5}));
}

// A body of the wrong length, or a gAMA after the palette, is kept but corrects nothing.
TEST(Gamma, MisplacedOrMisshapenChunksLeaveTheTables) {
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder()
                       .Header(1, 1, 8, 2)
                       .Chunk("gAMA", {0, 1, 0x86})
                       .Data({0, 1, 1, 1})
                       .End()
                       .Bytes());
  EXPECT_EQ(Image.GammaLut[1], 1);
  auto& Short = First<TChunkgAMA>(Image);
  EXPECT_EQ(Short.GetGammaValue(), 1u);
  EXPECT_EQ(SavedBody(Short).size(), 3u);
  LoadBytes(Image, PaletteImage(FourColours, {{"gAMA", {0, 1, 0x86, 0xA0}}}));
  EXPECT_EQ(Image.GammaLut[1], 1);
  EXPECT_EQ(Image.ChunkList.Count(), 5);
}

TEST(Time, ReadsAndWritesItsSevenBytes) {
  TPNGObject Image;
  const TBytes Body{0x07, 0xE8, 1, 2, 3, 4, 5};
  LoadBytes(Image, GreyWith("tIME", Body));
  auto& Time = First<TChunktIME>(Image);
  EXPECT_EQ(Time.Year, 2024);
  EXPECT_EQ((TBytes{Time.Month, Time.Day, Time.Hour, Time.Minute, Time.Second}),
            (TBytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(SavedBody(Time), Body);
  // The fields are the truth: the body is made from them, not kept as read.
  std::tie(Time.Year, Time.Month, Time.Day, Time.Hour, Time.Minute, Time.Second) =
      std::tuple(uint16_t{2026}, uint8_t{12}, uint8_t{8}, uint8_t{23}, uint8_t{59}, uint8_t{60});
  EXPECT_EQ(SavedBody(Time), (TBytes{0x07, 0xEA, 12, 8, 23, 59, 60}));
  EXPECT_THROW(Time.AssignChunk(TChunktEXt(nullptr)), EPngError);
}

// Keyword and text split at the first zero, and are written back with one zero between them.
TEST(Text, SplitsAtTheFirstZero) {
  const std::tuple<TBytes, std::string, std::string> Cases[] = {
      {{'T', 'i', 't', 'l', 'e', 0, 'a', 'b', 'c'}, "Title", "abc"},
      {{'a', 0}, "a", ""},
      {{'a'}, "a", ""},
      {{'a', 'b', 'c'}, "abc", ""},
      {{'k', 0, 'x', 0, 'y'}, "k", std::string("x\0y", 3)}};
  for (const auto& [Body, Keyword, Words] : Cases) {
    TPNGObject Image;
    LoadBytes(Image, GreyWith("tEXt", Body));
    auto& Text = First<TChunktEXt>(Image);
    EXPECT_EQ(Text.Keyword, Keyword);
    EXPECT_EQ(Text.Text, Words);
    const std::string Written = Keyword + '\0' + Words;
    EXPECT_EQ(SavedBody(Text), TBytes(Written.begin(), Written.end()));
  }
}

TBytes ZtxtBody(const std::string& Keyword, const TBytes& Compressed, uint8_t Method = 0) {
  TBytes Body(Keyword.begin(), Keyword.end());
  Body.push_back(0);
  Body.push_back(Method);
  Body.insert(Body.end(), Compressed.begin(), Compressed.end());
  return Body;
}

TEST(CompressedText, InflatesAndDeflatesItsText) {
  const std::string Words = "Compressed words, compressed words, compressed words.";
  TPNGObject Image;
  LoadBytes(Image,
            GreyWith("zTXt", ZtxtBody("Comment", Compress(TBytes(Words.begin(), Words.end())))));
  auto& Text = First<TChunkzTXt>(Image);
  EXPECT_EQ(Text.Keyword, "Comment");
  EXPECT_EQ(Text.Text, Words);
  Text.Text.clear();
  Text.TextDecoded = true;
  TPNGObject Back;
  LoadBytes(Back, GreyWith("zTXt", SavedBody(Text)));
  EXPECT_EQ(First<TChunkzTXt>(Back).Text, " ");
}

// What cannot be decoded is kept: the chunk writes back the body it read.
TEST(CompressedText, UndecodableTextIsKeptAsRead) {
  const TBytes Bomb = Compress(TBytes(MaxZtxtChunkText + 1, 'a'));
  const std::pair<const char*, TBytes> Cases[] = {
      {"damaged", ZtxtBody("k", {1, 2, 3, 4})},
      {"ends at the keyword", {'k', 0}},
      {"another method", ZtxtBody("k", Compress({'a'}), 1)},
      {"over the chunk limit", ZtxtBody("k", Bomb)}};
  for (const auto& [Why, Body] : Cases) {
    TPNGObject Image;
    LoadBytes(Image, GreyWith("zTXt", Body));
    auto& Text = First<TChunkzTXt>(Image);
    EXPECT_EQ(Text.Text, "") << Why;
    EXPECT_EQ(SavedBody(Text), Body) << Why;
  }
}

TEST(CompressedText, AllTextsOfAnImageShareOneLimit) {
  const TBytes Large = Compress(TBytes(MaxZtxtChunkText, 'b'));
  TPngBuilder Builder;
  Builder.Header(1, 1, 8, 0);
  for (int i = 0; i < 5; ++i)
    Builder.Chunk("zTXt", ZtxtBody("k", Large));
  TPNGObject Image;
  LoadBytes(Image, Builder.Data({0, 0}).End().Bytes());
  int Decoded = 0;
  for (int32_t i = 1; i <= 5; ++i)
    Decoded += static_cast<TChunkzTXt*>(Image.ChunkList.Item(i))->TextDecoded ? 1 : 0;
  EXPECT_EQ(Decoded, static_cast<int>(MaxZtxtImageText / MaxZtxtChunkText));
}

} // namespace
