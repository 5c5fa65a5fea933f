#include "png/pngimage.h"
#include "tests/graphics/gdi_support.h"
#include "tests/png/png_builder.h"
#include "tests/support/allocation_probe.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using TTypes = std::vector<std::string>;

TColors PixelsOf(TPNGObject& Image) {
  TColors Colors;
  for (int Y = 0; Y < Image.GetHeight(); ++Y)
    for (int X = 0; X < Image.GetWidth(); ++X)
      Colors.push_back(Image.GetPixelColor(X, Y));
  return Colors;
}

class Import : public testing::Test {
protected:
  void TearDown() override {
    GdiFailCall(gcCreate, 0);
    GdiFailCall(gcGetDIBits, 0);
  }
};

// Each depth gives its chunks and the bitmap's pixels, which are written and read back.
TEST_F(Import, GivesTheChunksAndPixelsOfTheBitmap) {
  const std::tuple<int, int, bool, uint8_t, uint8_t, TTypes> Cases[] = {
      // bit count, height (negative: top-down), transparent, colour type, depth, chunks
      {24, 2, false, 2, 8, {"IHDR", "IDAT", "IEND"}},
      {32, -2, false, 2, 8, {"IHDR", "IDAT", "IEND"}},
      {16, 2, true, 2, 8, {"IHDR", "tRNS", "IDAT", "IEND"}},
      {8, -2, false, 3, 8, {"IHDR", "PLTE", "IDAT", "IEND"}},
      {4, 2, true, 3, 4, {"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}}};
  const TColors Pixels{Red, Blue, Green, White, Red, Blue};
  for (const auto& [BitCount, Height, Transparent, ColorType, BitDepth, Chunks] : Cases) {
    SCOPED_TRACE(BitCount);
    TBitmap Bitmap;
    Bitmap.SetHandle(FilledSection(3, Height, BitCount, Pixels, {Red, Green, Blue, White}));
    Bitmap.SetTransparentColor(static_cast<TColor>(Blue));
    Bitmap.SetTransparent(Transparent);
    TPNGObject Image;
    Image.Assign(Bitmap);
    EXPECT_EQ(ChunkTypes(Image), Chunks);
    EXPECT_EQ(Image.Header().ColorType, ColorType);
    EXPECT_EQ(Image.Header().BitDepth, BitDepth);
    EXPECT_EQ(PixelsOf(Image), Pixels);
    EXPECT_EQ(Image.ImageKeyColor(), Transparent ? Blue : 0);
    TPNGObject Back;
    LoadBytes(Back, SavedBytes(Image));
    EXPECT_EQ(PixelsOf(Back), Pixels);
  }
}

TEST_F(Import, APaletteKeyThatIsNoEntryMakesNothingTransparent) {
  TBitmap Bitmap;
  Bitmap.SetHandle(FilledSection(2, 1, 1, {Red, Green}, {Red, Green}));
  Bitmap.SetTransparentColor(static_cast<TColor>(RGB(0, 0, 0)));
  Bitmap.SetTransparent(true);
  TPNGObject Image;
  Image.Assign(Bitmap);
  EXPECT_EQ(ChunkTypes(Image), (TTypes{"IHDR", "PLTE", "IDAT", "IEND"}));
  EXPECT_EQ(Image.TransparencyKind(), trOpaque);
}

TEST_F(Import, RefusesWhatIsNoBitmapAndKeepsTheImage) {
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder().Header(1, 1, 8, 0).Data({0, 7}).End().Bytes());
  TBitmap Empty;
  EXPECT_THROW(Image.Assign(Empty), EConvertError);
  EXPECT_EQ(Image.GetWidth(), 1);
}

TEST_F(Import, AFailureAfterClearingLeavesAnEmptyImage) {
  TBitmap Bitmap;
  Bitmap.SetHandle(FilledSection(2, 1, 24, {Red, Blue}));
  TPNGObject Image;
  GdiFailCall(gcGetDIBits, 1);
  EXPECT_THROW(Image.Assign(Bitmap), EPNGOutMemory);
  EXPECT_TRUE(Image.GetEmpty());
}

TEST(PixelAccess, StaysInsideTheImage) {
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder().Header(2, 2, 8, 2).Data(TBytes(2 * 7, 0)).End().Bytes());
  for (const auto& [X, Y] :
       {std::pair{2, 0}, std::pair{0, 2}, std::pair{-1, 0}, std::pair{0, -1}}) {
    Image.SetPixelColor(X, Y, Red);
    EXPECT_EQ(Image.GetPixelColor(X, Y), 0u);
  }
  Image.SetPixelColor(1, 1, RGB(1, 2, 3));
  EXPECT_EQ(Image.GetPixelColor(1, 1), RGB(1, 2, 3));
  EXPECT_EQ(PixelsOf(Image), (TColors{0, 0, 0, RGB(1, 2, 3)}));
  TPNGObject Empty;
  EXPECT_EQ(Empty.GetPixelColor(0, 0), 0u);
  Empty.SetPixelColor(0, 0, Red);
  EXPECT_THROW(Empty.RowAddress(0), EPNGHeaderNotPresent);
}

// Grey is written through the inverse of the gamma it is shown through; alpha is left alone.
TEST(PixelAccess, WritesGreyThroughTheInverseGamma) {
  TPNGObject GreyAlpha;
  LoadBytes(GreyAlpha, TPngBuilder()
                           .Header(1, 1, 8, 4)
                           .Chunk("gAMA", {0, 1, 0x86, 0xA0})
                           .Data({0, 128, 9})
                           .End()
                           .Bytes());
  GreyAlpha.SetPixelColor(0, 0, RGB(21, 21, 21));
  EXPECT_EQ(GreyAlpha.Header().ImageRow(0)[0], 1);
  EXPECT_EQ(GreyAlpha.Header().AlphaRow(0)[0], 9);
}

TEST(PixelAccess, WritesOnlyIndicesThePixelCanHold) {
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder()
                       .Header(2, 1, 1, 3)
                       .Chunk("PLTE", {255, 0, 0, 0, 255, 0})
                       .Data({0, 0b01000000})
                       .End()
                       .Bytes());
  Image.SetPixelColor(1, 0, RGB(0, 0, 0));
  EXPECT_EQ(PixelsOf(Image), (TColors{Red, Red}))
      << "black is nearest red; the neighbour keeps its bit";
  TPNGObject Four;
  LoadBytes(Four, TPngBuilder()
                      .Header(2, 1, 4, 3)
                      .Chunk("PLTE", {1, 1, 1, 2, 2, 2, 3, 3, 3})
                      .Data({0, 0x12})
                      .End()
                      .Bytes());
  Four.SetPixelColor(0, 0, RGB(3, 3, 3));
  EXPECT_EQ(Four.Header().ImageRow(0)[0], 0x22);
  TPNGObject NoPalette;
  LoadBytes(NoPalette, TPngBuilder().Header(1, 1, 8, 3).Data({0, 4}).End().Bytes());
  NoPalette.SetPixelColor(0, 0, Red);
  EXPECT_EQ(NoPalette.Header().ImageRow(0)[0], 4);
  EXPECT_THROW(NoPalette.GetPixelColor(0, 0), EPngError);
}

TEST(Palette, IsMadeOnceUntilNewImageMemory) {
  TPNGObject Image, Truecolour;
  LoadBytes(Image, TPngBuilder().Header(1, 1, 8, 0).Data({0, 0}).End().Bytes());
  HPALETTE First = Image.GetPalette();
  ASSERT_NE(First, nullptr);
  EXPECT_EQ(Image.GetPalette(), First);
  Image.Header().CreateImageMemory();
  EXPECT_EQ(Image.ScratchPalette, nullptr);
  LoadBytes(Truecolour, TPngBuilder().Header(1, 1, 8, 2).Data({0, 0, 0, 0}).End().Bytes());
  EXPECT_EQ(Truecolour.GetPalette(), nullptr);
}

// The clipboard form is a bitmap drawn on white: keys show white, alpha is flattened over it.
TEST_F(Import, GoesThroughTheClipboardAsAWhiteBackedBitmap) {
  TPNGObject Keyed;
  LoadBytes(Keyed,
            TPngBuilder().Header(2, 1, 8, 6).Data({0, 255, 0, 0, 255, 0, 0, 0, 0}).End().Bytes());
  uint16_t Format = 0;
  HANDLE Data = nullptr;
  HPALETTE Palette = nullptr;
  Keyed.SaveToClipboardFormat(Format, Data, Palette);
  TPNGObject Back;
  Back.LoadFromClipboardFormat(Format, Data, Palette);
  DeleteObject(static_cast<HBITMAP>(Data));
  EXPECT_EQ(PixelsOf(Back), (TColors{Red, White}));
  EXPECT_EQ(ChunkTypes(Back), (TTypes{"IHDR", "IDAT", "IEND"}));
}

// A header kept after it was refused (an invalid colour type and depth pair) has no pixels to
// show: the clipboard gets the empty bitmap an image of no pixels gives, which the platform
// refuses, instead of a white one of the header's size.
TEST_F(Import, AnImageWithoutUsablePixelsGoesToTheClipboardAsAnEmptyBitmap) {
  TPNGObject Refused, NoPixels;
  EXPECT_THROW(LoadBytes(Refused, TPngBuilder().Header(5, 4, 16, 3).Bytes()), EPngInvalidIHDR);
  ASSERT_EQ(Refused.GetWidth(), 5);
  LoadBytes(NoPixels, TPngBuilder().Header(0, 4, 8, 2).Data({}).End().Bytes());
  for (TPNGObject* Image : {&Refused, &NoPixels}) {
    uint16_t Format = 0;
    HANDLE Data = nullptr;
    HPALETTE Palette = nullptr;
    EXPECT_EQ(
        MessageOf<EInvalidGraphic>([&] { Image->SaveToClipboardFormat(Format, Data, Palette); }),
        "An empty bitmap cannot go to the clipboard");
    EXPECT_EQ(Data, nullptr);
  }
}

// Every request the import makes fails in its turn: the image is left empty and everything
// made before the failure is freed again.
TEST_F(Import, AnAllocationThatFailsAtAnyStepLeavesNothingBehind) {
  for (const bool Transparent : {false, true}) {
    TBitmap Bitmap;
    Bitmap.SetHandle(
        FilledSection(3, 2, 4, {Red, Blue, Green, White, Red, Blue}, {Red, Green, Blue, White}));
    Bitmap.SetTransparentColor(static_cast<TColor>(Blue));
    Bitmap.SetTransparent(Transparent);
    // The graphics layer's handle tables keep the room they grew to: let them grow first.
    TPNGObject().Assign(Bitmap);
    int Failures = 0;
    for (size_t Nth = 1;; ++Nth) {
      TPNGObject Image;
      const long Before = LiveAllocations();
      const int GdiBefore = GdiLiveObjectCount();
      FailNthAllocation(Nth);
      try {
        Image.Assign(Bitmap);
        FailNthAllocation(0);
        break;
      } catch (const std::bad_alloc&) {
        FailNthAllocation(0);
      } catch (const Exception&) {
        FailNthAllocation(0);
      }
      ++Failures;
      EXPECT_TRUE(Image.GetEmpty()) << Nth;
      EXPECT_EQ(LiveAllocations(), Before) << Nth;
      EXPECT_EQ(GdiLiveObjectCount(), GdiBefore) << Nth;
    }
    EXPECT_GE(Failures, Transparent ? 6 : 5) << "a request per chunk at least";
  }
}

} // namespace
