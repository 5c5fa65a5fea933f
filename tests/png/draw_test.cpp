#include "png/pngimage.h"
#include "tests/graphics/gdi_support.h"
#include "tests/png/png_builder.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// Every drawing test must release all it made.
class Drawing : public testing::Test {
protected:
  void TearDown() override {
    GdiFailCall(gcCreate, 0);
    GdiFailCall(gcSelect, 0);
    EXPECT_EQ(GdiScreenDCCount(), 0);
  }
};

TPNGObject& Loaded(TPNGObject& Image, const TBytes& File) {
  LoadBytes(Image, File);
  return Image;
}

// A canvas of Width x Height filled with one colour.
class TTestCanvas {
public:
  TTestCanvas(int Width, int Height, COLORREF Fill) {
    Bitmap.SetWidth(Width);
    Bitmap.SetHeight(Height);
    Bitmap.Canvas().FillRect({0, 0, Width, Height}, static_cast<TColor>(Fill));
  }
  TColors Row(int Y, int Count) {
    TColors Colors;
    for (int X = 0; X < Count; ++X)
      Colors.push_back(Bitmap.Canvas().GetPixel(X, Y));
    return Colors;
  }
  TCanvas& Canvas() { return Bitmap.Canvas(); }
  TBitmap Bitmap;
};

TBytes RgbaRedAndClear() {
  return TPngBuilder().Header(2, 1, 8, 6).Data({0, 255, 0, 0, 255, 0, 255, 0, 0}).End().Bytes();
}

TBytes GreyKeyed() {
  return TPngBuilder()
      .Header(2, 1, 8, 0)
      .Chunk("tRNS", {0, 0x80})
      .Data({0, 0x80, 0x10})
      .End()
      .Bytes();
}

TEST_F(Drawing, AlphaImagesAreBlendedAtTheirOwnSize) {
  TPNGObject Image;
  TTestCanvas Target(8, 2, White);
  Loaded(Image, RgbaRedAndClear()).Draw(Target.Canvas(), {3, 1, 8, 2});
  EXPECT_EQ(Target.Row(1, 6), (TColors{White, White, White, Red, White, White}));
  EXPECT_EQ(Target.Row(0, 6), TColors(6, White));
}

TEST_F(Drawing, OpaqueAndKeyedImagesFillTheRectangle) {
  TPNGObject Opaque, Keyed;
  TTestCanvas Target(4, 2, Blue);
  Loaded(Opaque, TPngBuilder().Header(2, 1, 8, 2).Data({0, 255, 0, 0, 0, 0, 0}).End().Bytes())
      .Draw(Target.Canvas(), {0, 0, 4, 1});
  EXPECT_EQ(Target.Row(0, 4), (TColors{Red, Red, Black, Black}));
  Loaded(Keyed, GreyKeyed()).Draw(Target.Canvas(), {0, 1, 4, 2});
  EXPECT_EQ(Target.Row(1, 4), (TColors{Blue, Blue, RGB(16, 16, 16), RGB(16, 16, 16)}));
  EXPECT_TRUE(Keyed.GetTransparent());
  EXPECT_FALSE(Opaque.GetTransparent());
}

// A 1-bit palette row of 3 pixels blends 3 pixels: the padding bits are no pixels.
TEST(Blend, TouchesExactlyTheImagesPixels) {
  TPNGObject Image;
  Loaded(Image, TPngBuilder()
                    .Header(3, 1, 1, 3)
                    .Chunk("PLTE", {255, 0, 0, 0, 0, 255})
                    .Chunk("tRNS", {128, 255})
                    .Data({0, 0b01011111})
                    .End()
                    .Bytes());
  ASSERT_EQ(Image.TransparencyKind(), trAlpha);
  std::vector<uint8_t> Buffer(4 * 3, 0);
  Image.BlendOver(Buffer.data());
  EXPECT_EQ(Buffer, (std::vector<uint8_t>{0, 0, 128, 0, 255, 0, 0, 0, 0, 0, 128, 0}));
}

TEST(Blend, GreyWithAlphaShowsThroughTheColourTable) {
  TPNGObject Image;
  Loaded(Image, TPngBuilder()
                    .Header(1, 1, 8, 4)
                    .Chunk("gAMA", {0, 1, 0x86, 0xA0})
                    .Data({0, 128, 255})
                    .End()
                    .Bytes());
  std::vector<uint8_t> Buffer(4, 0);
  Image.BlendOver(Buffer.data());
  EXPECT_EQ(Buffer, (std::vector<uint8_t>{186, 186, 186, 0}));
}

// The header's fields are public: a grey image told after loading that it has alpha has no alpha
// plane, and neither blends nor draws.
TEST_F(Drawing, AColourTypeChangedAfterLoadingBlendsAndDrawsNothing) {
  TPNGObject Image;
  Loaded(Image, TPngBuilder().Header(1, 1, 8, 0).Data({0, 128}).End().Bytes());
  Image.Header().ColorType = COLOR_GRAYSCALEALPHA;
  std::vector<uint8_t> Buffer(4, 7);
  Image.BlendOver(Buffer.data());
  EXPECT_EQ(Buffer, std::vector<uint8_t>(4, 7));
  TTestCanvas Target(1, 1, Blue);
  Image.Draw(Target.Canvas(), {0, 0, 1, 1});
  EXPECT_EQ(Target.Row(0, 1), TColors{Blue});
}

// Entry 0 is clear and entry 2 has its colour: only index 0 may show the background.
TEST_F(Drawing, APaletteKeyIsByIndex) {
  TPNGObject Image;
  TTestCanvas Target(3, 1, Blue);
  Loaded(Image, DuplicateBlackPalette()).Draw(Target.Canvas(), {0, 0, 3, 1});
  EXPECT_EQ(Target.Row(0, 3), (TColors{Blue, Red, Black}));
  EXPECT_EQ(Image.Header().DibInfo.bmiColors[0].rgbRed, 0) << "the image memory is untouched";

  TBitmap Converted;
  Converted.Assign(Image);
  TTestCanvas Other(3, 1, Blue);
  Other.Canvas().Draw(0, 0, Converted);
  EXPECT_EQ(Other.Row(0, 3), (TColors{Blue, Red, Black}));
}

TEST_F(Drawing, AssigningGivesTheImagesExactColours) {
  TPNGObject Image;
  Loaded(Image, TPngBuilder()
                    .Header(4, 1, 1, 3)
                    .Chunk("PLTE", {255, 0, 0, 0, 0, 255})
                    .Data({0, 0b01100000})
                    .End()
                    .Bytes());
  TBitmap Bitmap;
  Bitmap.Assign(Image);
  EXPECT_EQ(Bitmap.GetPixelFormat(), pf1bit);
  EXPECT_EQ(PixelsOf(Bitmap), (TColors{Red, Blue, Blue, Red}));
  EXPECT_FALSE(Bitmap.GetTransparent());
}

// One row of a palette image with the given palette, tRNS body and row bytes.
TBytes PaletteRow(uint32_t Width, uint8_t Depth, const TBytes& Palette, const TBytes& Alpha,
                  const TBytes& Row) {
  TBytes Raw{0};
  Raw.insert(Raw.end(), Row.begin(), Row.end());
  return TPngBuilder()
      .Header(Width, 1, Depth, 3)
      .Chunk("PLTE", Palette)
      .Chunk("tRNS", Alpha)
      .Data(Raw)
      .End()
      .Bytes();
}

const TBytes UnityGamma{0x00, 0x01, 0x86, 0xA0};

// Only a colour-keyed image may have a key entry's colour replaced, and only a key a pixel can
// hold makes one: every other image reaches the bitmap with the colours it stored.
TEST_F(Drawing, ConversionKeepsTheColoursOfImagesThatAreNotKeyed) {
  const std::tuple<const char*, TBytes, TTransparencyKind, TColors> Cases[] = {
      {"AlphaWhiteSharedWithTheClearEntry",
       PaletteRow(3, 8, {255, 255, 255, 255, 255, 255, 255, 0, 0}, {0, 255, 128}, {0, 1, 2}),
       trAlpha,
       {White, White, Red}},
      {"AlphaBlackSharedWithUnusedEntries",
       PaletteRow(3, 8, {0, 0, 0, 255, 0, 0, 0, 255, 0}, {0, 128}, {0, 1, 2}),
       trAlpha,
       {Black, Red, Green}},
      {"GreyWithAKeyOfTheWrongLength",
       TPngBuilder()
           .Header(4, 1, 8, 0)
           .Chunk("gAMA", UnityGamma)
           .Chunk("tRNS", {0, 0xFF, 0})
           .Data({0, 0, 254, 255, 128})
           .End()
           .Bytes(),
       trOpaque,
       {}},
      {"OneBitKeyOnAnEntryNoPixelHolds",
       PaletteRow(2, 1, {0, 0, 0, 255, 255, 255, 0, 0, 0}, {255, 255, 0}, {0b01000000}),
       trOpaque,
       {Black, White}}};
  for (const auto& [Name, File, Kind, Stored] : Cases) {
    TPNGObject Image;
    Loaded(Image, File);
    EXPECT_EQ(Image.TransparencyKind(), Kind) << Name;
    TColors Expected = Stored;
    if (Expected.empty())
      for (int X = 0; X < Image.GetWidth(); ++X)
        Expected.push_back(Image.GetPixelColor(X, 0));
    TBitmap Bitmap;
    Bitmap.Assign(Image);
    EXPECT_EQ(PixelsOf(Bitmap), Expected) << Name;
    EXPECT_FALSE(Bitmap.GetTransparent()) << Name;
    if (Kind != trOpaque)
      continue;
    EXPECT_EQ(Image.ImageKeyColor(), 0u) << Name;
    TTestCanvas Target(Image.GetWidth(), 1, Blue);
    Image.Draw(Target.Canvas(), {0, 0, Image.GetWidth(), 1});
    EXPECT_EQ(Target.Row(0, Image.GetWidth()), Expected) << Name;
  }
  TPNGObject Grey;
  Loaded(Grey, std::get<1>(Cases[2]));
  EXPECT_EQ(Grey.GetPixelColor(2, 0), White);
}

// The colour given to a key entry so that it alone is keyed belongs to the drawing bitmap; a
// bitmap for a file keeps the stored colours and no key.
TEST_F(Drawing, StoredColoursGoToABitmapWithoutTheKeysSubstitute) {
  const std::tuple<const char*, TBytes, TColors> Cases[] = {
      {"GreyKeyShownLikeItsNeighbour", GreyKeyShownLikeItsNeighbour(), {White, White}},
      {"PaletteKeySharingItsColour", DuplicateBlackPalette(), {Black, Red, Black}}};
  for (const auto& [Name, File, Stored] : Cases) {
    TPNGObject Image;
    Loaded(Image, File);
    ASSERT_EQ(Image.TransparencyKind(), trColorKey) << Name;
    TBitmap Drawn, ForFile;
    Drawn.Assign(Image);
    EXPECT_TRUE(Drawn.GetTransparent()) << Name;
    EXPECT_NE(PixelsOf(Drawn), Stored) << Name << ": the key entry has a colour of its own";
    Image.AssignStoredColorsTo(ForFile);
    EXPECT_EQ(PixelsOf(ForFile), Stored) << Name;
    EXPECT_FALSE(ForFile.GetTransparent()) << Name;
  }
  TPNGObject Empty;
  TBitmap Bitmap;
  EXPECT_THROW(Empty.AssignStoredColorsTo(Bitmap), EConvertError);
}

TEST_F(Drawing, AKeyedImageGivesATransparentBitmap) {
  TPNGObject Keyed, Alpha;
  TBitmap Bitmap;
  Bitmap.Assign(Loaded(Keyed, GreyKeyed()));
  EXPECT_EQ(Bitmap.GetPixelFormat(), pf8bit);
  EXPECT_TRUE(Bitmap.GetTransparent());
  EXPECT_EQ(Bitmap.GetTransparentColor(), RGB(128, 128, 128));
  Bitmap.SetTransparent(false);
  Bitmap.Assign(Loaded(Alpha, RgbaRedAndClear()));
  EXPECT_EQ(Bitmap.GetPixelFormat(), pf24bit);
  EXPECT_FALSE(Bitmap.GetTransparent()) << "left as it was";
}

TEST_F(Drawing, AnImageWithoutPixelsConvertsToNothing) {
  TPNGObject Empty;
  TBitmap Bitmap;
  EXPECT_EQ(MessageOf<EConvertError>([&] { Bitmap.Assign(Empty); }),
            "Cannot assign a TPNGObject to a TBitmap");
  TTestCanvas Target(1, 1, Blue);
  Empty.Draw(Target.Canvas(), {0, 0, 1, 1});
  EXPECT_EQ(Target.Row(0, 1), TColors{Blue});

  TPNGObject NoPixels;
  Bitmap.SetWidth(3);
  Bitmap.SetHeight(3);
  Bitmap.Assign(Loaded(NoPixels, TPngBuilder().Header(0, 2, 8, 2).Data({0, 0}).End().Bytes()));
  EXPECT_TRUE(Bitmap.GetEmpty());
}

// Each create or select that fails, first to last, leaves the target as it was and nothing
// behind.
TEST_F(Drawing, FailuresOfWhatDrawingCreatesAreOutOfMemory) {
  for (const auto& File : {GreyKeyed(), RgbaRedAndClear()}) {
    TPNGObject Image;
    Loaded(Image, File);
    TTestCanvas Target(2, 1, Blue);
    Target.Canvas().GetHandle();
    const int Baseline = GdiLiveObjectCount();
    for (int Nth = 1;; ++Nth) {
      GdiFailCall(gcCreate, Nth);
      try {
        Image.Draw(Target.Canvas(), {0, 0, 2, 1});
        break;
      } catch (const EPNGOutMemory&) {
        EXPECT_EQ(Target.Row(0, 2), (TColors{Blue, Blue})) << Nth;
        EXPECT_EQ(GdiLiveObjectCount(), Baseline) << Nth;
      }
      GdiFailCall(gcCreate, 0);
      Target.Canvas().FillRect({0, 0, 2, 1}, static_cast<TColor>(Blue));
    }
    GdiFailCall(gcSelect, 2);
    EXPECT_THROW(Image.Draw(Target.Canvas(), {0, 0, 2, 1}), EPNGOutMemory);
    EXPECT_EQ(GdiLiveObjectCount(), Baseline);
  }
}

TEST_F(Drawing, AFailedConversionLeavesTheBitmapAsItWas) {
  TPNGObject Image;
  Loaded(Image, GreyKeyed());
  TBitmap Bitmap;
  Bitmap.SetWidth(5);
  Bitmap.SetHeight(5);
  GdiFailCall(gcCreate, 1);
  EXPECT_THROW(Bitmap.Assign(Image), EPNGOutMemory);
  EXPECT_EQ(Bitmap.GetWidth(), 5);
  EXPECT_FALSE(Bitmap.GetTransparent());
}

TEST_F(Drawing, AnIndexBeyondThePaletteRaisesAndDrawsNothing) {
  TPNGObject Image;
  Loaded(Image, TPngBuilder()
                    .Header(2, 1, 8, 3)
                    .Chunk("PLTE", {1, 2, 3})
                    .Chunk("tRNS", {128})
                    .Data({0, 0, 7})
                    .End()
                    .Bytes());
  TTestCanvas Target(2, 1, Blue);
  Target.Canvas().GetHandle();
  const int Baseline = GdiLiveObjectCount();
  EXPECT_THROW(Image.Draw(Target.Canvas(), {0, 0, 2, 1}), EPngError);
  EXPECT_EQ(Target.Row(0, 2), (TColors{Blue, Blue}));
  EXPECT_EQ(GdiLiveObjectCount(), Baseline);
}

// The key's mask is stretched with the image: at every size, the pixels whose centre falls on a
// key show the background, all others the image's pixel there.
TEST_F(Drawing, AKeyedImageShowsTheBackgroundUnderItsKeyAtEverySize) {
  const COLORREF Key = RGB(0, 128, 0), Background = RGB(9, 9, 9);
  const TColors Row{Key, Red, Blue, Key, White};
  TBytes Raw{0};
  for (const COLORREF Color : Row)
    Raw.insert(Raw.end(), {GetRValue(Color), GetGValue(Color), GetBValue(Color)});
  TPNGObject Image;
  Loaded(
      Image,
      TPngBuilder().Header(5, 1, 8, 2).Chunk("tRNS", {0, 0, 0, 128, 0, 0}).Data(Raw).End().Bytes());
  for (int Width = 1; Width <= 12; ++Width)
    for (const int Height : {1, 2, 3}) {
      TColors Expected;
      for (int Y = 0; Y < Height; ++Y)
        for (int X = 0; X < Width; ++X) {
          const COLORREF Stretched = Row[static_cast<size_t>((2 * X + 1) * 5 / (2 * Width))];
          Expected.push_back(Stretched == Key ? Background : Stretched);
        }
      TTestCanvas Target(Width, Height, Background);
      Image.Draw(Target.Canvas(), {0, 0, Width, Height});
      EXPECT_EQ(PixelsOf(Target.Bitmap), Expected) << Width << "x" << Height;
    }
}

// A 5 x 4 RGBA image of many alphas, 0 and 255 among them.
TBytes ManyAlphas() {
  TBytes Rows;
  for (int Y = 0; Y < 4; ++Y) {
    Rows.push_back(0);
    for (int X = 0; X < 5; ++X)
      Rows.insert(Rows.end(), {uint8_t(40 * X), uint8_t(60 * Y), uint8_t(200 - 30 * X),
                               uint8_t((X * 97 + Y * 61) % 256)});
  }
  Rows[4] = 0;
  Rows[8] = 255;
  return TPngBuilder().Header(5, 4, 8, 6).Data(Rows).End().Bytes();
}

} // namespace

// A 32-bit DIB section is blended into directly; the result is that of the buffered way onto
// a device bitmap, wherever the image lands, clipped on every side.
TEST_F(Drawing, BlendingIntoASectionEqualsTheBufferedWay) {
  TPNGObject Image;
  Loaded(Image, ManyAlphas());
  for (const auto& [Left, Top] :
       {std::pair{0, 0}, std::pair{2, 1}, std::pair{-3, -2}, std::pair{4, 3}, std::pair{-5, 0},
        std::pair{7, 7}, std::pair{-1, 5}}) {
    TTestCanvas Device(7, 6, RGB(10, 200, 30));
    TBitmap Section;
    Section.Assign(Device.Bitmap);
    Section.SetPixelFormat(pf32bit);
    BITMAP DeviceRecord{}, SectionRecord{};
    GetObjectA(Device.Bitmap.GetHandle(), sizeof DeviceRecord, &DeviceRecord);
    GetObjectA(Section.GetHandle(), sizeof SectionRecord, &SectionRecord);
    ASSERT_EQ(DeviceRecord.bmBits, nullptr) << "a device bitmap: the buffered way";
    ASSERT_NE(SectionRecord.bmBits, nullptr) << "a section: blended into directly";
    Image.Draw(Device.Canvas(), {Left, Top, Left + 5, Top + 4});
    Image.Draw(Section.Canvas(), {Left, Top, Left + 5, Top + 4});
    EXPECT_EQ(PixelsOf(Section), PixelsOf(Device.Bitmap)) << Left << "," << Top;
  }
}
