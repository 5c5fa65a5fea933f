#include "platform/graphics/graphics.h"
#include "tests/graphics/gdi_support.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

namespace {

// A 1-bit red-and-blue bitmap: 4 pixels, red blue blue red.
void MakeRedBlue(TBitmap& Bitmap) {
  void* Bits = nullptr;
  Bitmap.SetHandle(NewSection(4, 1, 1, {Red, Blue}, &Bits));
  *static_cast<uint8_t*>(Bits) = 0b01100000;
}

// Without pixels a bitmap keeps the size asked for and its format, until it is given a handle.
TEST(Bitmap, SizingStartsWhiteAndKeepsThePixelsAtTheTopLeft) {
  TBitmap Bitmap;
  EXPECT_EQ(std::pair(Bitmap.GetEmpty(), Bitmap.GetPixelFormat()), std::pair(true, pfDevice));
  Bitmap.SetWidth(2);
  Bitmap.SetHeight(1);
  Bitmap.Canvas().SetPixel(0, 0, static_cast<TColor>(Red));
  Bitmap.Canvas().SetPixel(1, 0, static_cast<TColor>(Blue));
  Bitmap.SetWidth(3);
  Bitmap.SetHeight(2);
  EXPECT_EQ(PixelsOf(Bitmap), (TColors{Red, Blue, White, White, White, White}));
  const HBITMAP Sized = Bitmap.GetHandle();
  Bitmap.SetWidth(3);
  EXPECT_EQ(Bitmap.GetHandle(), Sized) << "the same size makes no new bitmap";
  Bitmap.SetPixelFormat(pf8bit);
  Bitmap.SetWidth(0);
  EXPECT_EQ(
      std::tuple(Bitmap.GetEmpty(), Bitmap.GetWidth(), Bitmap.GetHeight(), Bitmap.GetPixelFormat()),
      std::tuple(true, 0, 2, pf8bit));
  Bitmap.SetHandle(nullptr);
  EXPECT_EQ(std::pair(Bitmap.GetWidth(), Bitmap.GetHeight()), std::pair(0, 0));
}

// A handle given replaces and deletes the one held; a copy has pixels and key of its own.
TEST(Bitmap, OwnsItsHandleAndAssignCopiesAnother) {
  TBitmap Source, Copy;
  Source.SetHandle(NewScreenBitmap(2, 2));
  MakeRedBlue(Source);
  EXPECT_EQ(GdiLiveObjectCount(), 1);
  Source.SetTransparentColor(static_cast<TColor>(Blue));
  Source.SetTransparent(true);
  Copy.Assign(Source);
  EXPECT_NE(Copy.GetHandle(), Source.GetHandle());
  EXPECT_EQ(PixelsOf(Copy), (TColors{Red, Blue, Blue, Red}));
  EXPECT_EQ(std::pair(Copy.GetTransparent(), Copy.GetTransparentColor()), std::pair(true, Blue));
}

// A red-and-blue 1-bit bitmap stays red and blue at every depth, and back at 1 bit.
TEST(Bitmap, AFormatChangeKeepsTheBitmapsOwnColours) {
  for (const TPixelFormat Format : {pfDevice, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap Bitmap;
    MakeRedBlue(Bitmap);
    Bitmap.SetPixelFormat(Format);
    EXPECT_EQ(Bitmap.GetPixelFormat(), Format);
    EXPECT_EQ(PixelsOf(Bitmap), (TColors{Red, Blue, Blue, Red})) << Format;
    Bitmap.SetPixelFormat(pf1bit);
    EXPECT_EQ(PixelsOf(Bitmap), (TColors{Red, Blue, Blue, Red})) << Format;
  }
}

TEST(Bitmap, TransparentDrawingLeavesKeyPixelsAlone) {
  TBitmap Image, Target;
  Image.SetWidth(3);
  Image.SetHeight(1);
  Image.Canvas().SetPixel(0, 0, static_cast<TColor>(Red));
  Image.Canvas().SetPixel(1, 0, static_cast<TColor>(Green));
  Target.SetWidth(3);
  Target.SetHeight(1);
  Target.Canvas().FillRect({0, 0, 3, 1}, static_cast<TColor>(Blue));
  EXPECT_EQ(Image.GetTransparentColor(), Red) << "until set: the bottom-left pixel";
  Image.SetTransparentColor(static_cast<TColor>(Green));
  Image.SetTransparent(true);
  Target.Canvas().Draw(0, 0, Image);
  EXPECT_EQ(PixelsOf(Target), (TColors{Red, Blue, White}));
  Image.SetTransparent(false);
  Target.Canvas().StretchDraw({0, 0, 3, 1}, Image);
  EXPECT_EQ(PixelsOf(Target), (TColors{Red, Green, White}));
}

TEST(Bitmap, GoesThroughTheClipboardAsABitmapHandle) {
  TBitmap Source, Target;
  MakeRedBlue(Source);
  uint16_t Format = 0;
  HANDLE Data = nullptr;
  HPALETTE Palette = nullptr;
  Source.SaveToClipboardFormat(Format, Data, Palette);
  EXPECT_EQ(Format, CF_BITMAP);
  Target.LoadFromClipboardFormat(Format, Data, Palette);
  EXPECT_EQ(PixelsOf(Target), (TColors{Red, Blue, Blue, Red}));
  EXPECT_EQ(DeleteObject(static_cast<HBITMAP>(Data)), TRUE) << "the receiver owns its own";
  EXPECT_THROW(Target.LoadFromClipboardFormat(1, Data, nullptr), EInvalidGraphic);
  EXPECT_THROW(TBitmap().SaveToClipboardFormat(Format, Data, Palette), EInvalidGraphic);
}

TEST(Bitmap, FailingToMakeItsBitmapRaisesAndLeaksNothing) {
  TBitmap Bitmap;
  Bitmap.SetWidth(2);
  Bitmap.SetHeight(2);
  GdiFailCall(gcCreate, 1);
  EXPECT_THROW(Bitmap.SetPixelFormat(pf8bit), EOutOfMemory);
  GdiFailCall(gcCreate, 2);
  EXPECT_THROW(Bitmap.SetPixelFormat(pf24bit), EOutOfMemory) << "its reading context fails";
  GdiFailCall(gcCreate, 0);
  EXPECT_EQ(Bitmap.GetPixelFormat(), pfDevice);
  EXPECT_EQ(PixelsOf(Bitmap), TColors(4, White));
}

// Each depth is saved as such; a picture loads a file through the class of its extension,
// whatever its case, and tells once that it changed.
TEST(BitmapFiles, KeepIndexedAndTruecolourImagesThroughAPicture) {
  TScratchDir Dir;
  for (const TPixelFormat Format : {pf24bit, pf8bit, pf4bit, pf1bit}) {
    TBitmap Original;
    MakeRedBlue(Original);
    Original.SetPixelFormat(Format);
    Original.SaveToFile(Dir.PathOf("p.Bmp"));
    TPicture Picture;
    int Changes = 0;
    Picture.OnChange = [&] { ++Changes; };
    Picture.LoadFromFile(Dir.PathOf("p.Bmp"));
    EXPECT_EQ(std::pair(Picture.Bitmap().GetPixelFormat(), Changes), std::pair(Format, 1));
    EXPECT_EQ(PixelsOf(Picture.Bitmap()), (TColors{Red, Blue, Blue, Red})) << Format;
  }
  TPicture Picture;
  EXPECT_THROW(Picture.LoadFromFile(Dir.PathOf("p.xyz")), EInvalidGraphic);
  TMemoryStream File;
  TBitmap Bitmap;
  EXPECT_THROW(Bitmap.LoadFromStream(FillStream(File, {'B', 'M', '?'})), EInvalidGraphic);
  EXPECT_TRUE(Bitmap.GetEmpty());
}

} // namespace
