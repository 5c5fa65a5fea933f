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

TEST(Bitmap, StartsEmptyAndWhiteOnceSized) {
  TBitmap Bitmap;
  EXPECT_TRUE(Bitmap.GetEmpty());
  EXPECT_EQ(Bitmap.GetPixelFormat(), pfDevice);
  Bitmap.SetWidth(3);
  Bitmap.SetHeight(2);
  EXPECT_FALSE(Bitmap.GetEmpty());
  BITMAP Record{};
  GetObjectA(Bitmap.GetHandle(), sizeof Record, &Record);
  EXPECT_EQ(Record.bmBitsPixel, 32);
  EXPECT_EQ(PixelsOf(Bitmap), TColors(6, White));
  // Without pixels it keeps the size asked for and its format, until it is given a handle.
  Bitmap.SetPixelFormat(pf8bit);
  Bitmap.SetWidth(0);
  EXPECT_EQ(std::pair(Bitmap.GetWidth(), Bitmap.GetHeight()), std::pair(0, 2));
  EXPECT_EQ(Bitmap.GetPixelFormat(), pf8bit);
  Bitmap.SetHandle(nullptr);
  EXPECT_EQ(std::pair(Bitmap.GetWidth(), Bitmap.GetHeight()), std::pair(0, 0));
}

TEST(Bitmap, ResizingKeepsThePixelsAtTheTopLeft) {
  TBitmap Bitmap;
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
  Bitmap.SetWidth(0);
  EXPECT_TRUE(Bitmap.GetEmpty());
}

TEST(Bitmap, OwnsTheHandleItIsGiven) {
  TBitmap Bitmap;
  Bitmap.SetHandle(NewScreenBitmap(2, 2));
  Bitmap.SetHandle(NewScreenBitmap(3, 3));
  EXPECT_EQ(GdiLiveObjectCount(), 1) << "the first handle was deleted";
  HBITMAP Kept = Bitmap.ReleaseHandle();
  EXPECT_TRUE(Bitmap.GetEmpty());
  EXPECT_EQ(DeleteObject(Kept), TRUE);
}

// A format change keeps the bitmap's own colours: a red-and-blue 1-bit bitmap stays red and
// blue at every depth, and back at 1 bit.
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
  TBitmap Image;
  Image.SetWidth(3);
  Image.SetHeight(1);
  Image.Canvas().SetPixel(0, 0, static_cast<TColor>(Red));
  Image.Canvas().SetPixel(1, 0, static_cast<TColor>(Green));
  TBitmap Target;
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
  EXPECT_EQ(Image.GetTransparentMode(), tmFixed);
  Image.SetTransparentMode(tmAuto);
  EXPECT_EQ(Image.GetTransparentColor(), Red) << "back to the bottom-left pixel";
}

TEST(Bitmap, AssignCopiesAnotherBitmap) {
  TBitmap Source;
  MakeRedBlue(Source);
  Source.SetTransparentColor(static_cast<TColor>(Blue));
  Source.SetTransparent(true);
  TBitmap Copy;
  Copy.Assign(Source);
  EXPECT_NE(Copy.GetHandle(), Source.GetHandle());
  EXPECT_EQ(PixelsOf(Copy), PixelsOf(Source));
  EXPECT_TRUE(Copy.GetTransparent());
  EXPECT_EQ(Copy.GetTransparentColor(), Blue);
}

class TForeignGraphic : public TGraphic {
public:
  std::string ClassName() const override { return "TForeignGraphic"; }
  void Draw(TCanvas&, const TRect&) override {}
  bool GetEmpty() override { return true; }
  int32_t GetHeight() override { return 0; }
  int32_t GetWidth() override { return 0; }
  void SetHeight(int32_t) override {}
  void SetWidth(int32_t) override {}
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream&) override {}
  void LoadFromClipboardFormat(uint16_t, HANDLE, HPALETTE) override {}
  void SaveToClipboardFormat(uint16_t&, HANDLE&, HPALETTE&) override {}
};

TEST(Bitmap, AssigningAnUnknownGraphicIsAConversionErrorNamingBoth) {
  TForeignGraphic Foreign;
  TBitmap Bitmap;
  EXPECT_EQ(MessageOf<EConvertError>([&] { Bitmap.Assign(Foreign); }),
            "Cannot assign a TForeignGraphic to a TBitmap");
}

TEST(Bitmap, GoesThroughTheClipboardAsABitmapHandle) {
  TBitmap Source;
  MakeRedBlue(Source);
  uint16_t Format = 0;
  HANDLE Data = nullptr;
  HPALETTE Palette = nullptr;
  Source.SaveToClipboardFormat(Format, Data, Palette);
  EXPECT_EQ(Format, CF_BITMAP);
  EXPECT_EQ(GdiLiveObjectCount(), 2) << "the receiver owns a bitmap of its own";
  TBitmap Target;
  Target.LoadFromClipboardFormat(Format, Data, Palette);
  EXPECT_EQ(PixelsOf(Target), (TColors{Red, Blue, Blue, Red}));
  DeleteObject(static_cast<HBITMAP>(Data));
  EXPECT_THROW(Target.LoadFromClipboardFormat(1, Data, nullptr), EInvalidGraphic);
  EXPECT_THROW(TBitmap().SaveToClipboardFormat(Format, Data, Palette), EInvalidGraphic);
}

TEST(Bitmap, FailingToMakeItsBitmapRaisesAndLeaksNothing) {
  TBitmap Bitmap;
  Bitmap.SetWidth(2);
  Bitmap.SetHeight(2);
  GdiFailCall(gcCreate, 1);
  EXPECT_THROW(Bitmap.SetPixelFormat(pf8bit), EOutOfMemory);
  EXPECT_EQ(Bitmap.GetPixelFormat(), pfDevice);
  GdiFailCall(gcCreate, 2);
  EXPECT_THROW(Bitmap.SetPixelFormat(pf24bit), EOutOfMemory) << "its reading context fails";
  GdiFailCall(gcCreate, 0);
  EXPECT_EQ(PixelsOf(Bitmap), TColors(4, White));
}

TEST(BitmapFiles, LoadAndSaveKeepIndexedAndTruecolourImages) {
  for (const TPixelFormat Format : {pf24bit, pf8bit, pf4bit, pf1bit}) {
    TBitmap Original;
    MakeRedBlue(Original);
    Original.SetPixelFormat(Format);
    TMemoryStream File;
    Original.SaveToStream(File);
    File.SetPosition(0);
    TBitmap Loaded;
    Loaded.LoadFromStream(File);
    EXPECT_EQ(Loaded.GetPixelFormat(), Format) << Format;
    EXPECT_EQ(PixelsOf(Loaded), (TColors{Red, Blue, Blue, Red})) << Format;
  }
}

TEST(BitmapFiles, ADamagedFileRaises) {
  TMemoryStream File;
  FillStream(File, {'B', 'M', '?'});
  TBitmap Bitmap;
  EXPECT_THROW(Bitmap.LoadFromStream(File), EInvalidGraphic);
  EXPECT_TRUE(Bitmap.GetEmpty());
}

const TGraphicClass ForeignClass{
    "TForeignGraphic", []() -> std::unique_ptr<TGraphic> { return std::make_unique<TForeignGraphic>(); }};

TEST(Picture, FindsGraphicClassesByExtensionWhateverTheCase) {
  EXPECT_EQ(TPicture::GraphicClassForFile("/a/b.BMP"), &TBitmap::ClassInfo);
  EXPECT_EQ(TPicture::GraphicClassForFile("/a.png/b"), nullptr);
  TPicture::RegisterFileFormat("FRN", "Foreign pictures", ForeignClass);
  EXPECT_EQ(TPicture::GraphicClassForFile("x.frn"), &ForeignClass);
  EXPECT_EQ(TPicture::GraphicClassForFile("x.FrN"), &ForeignClass);
  TPicture::UnregisterGraphicClass(ForeignClass);
  EXPECT_EQ(TPicture::GraphicClassForFile("x.frn"), nullptr);
}

TEST(Picture, LoadsAFileThroughItsClassAndHandsOutItsBitmap) {
  TScratchDir Dir;
  {
    TBitmap Original;
    MakeRedBlue(Original);
    Original.SaveToFile(Dir.PathOf("p.Bmp"));
  }
  TPicture Picture;
  int Changes = 0;
  Picture.OnChange = [&] { ++Changes; };
  Picture.LoadFromFile(Dir.PathOf("p.Bmp"));
  ASSERT_NE(dynamic_cast<TBitmap*>(Picture.Graphic()), nullptr);
  EXPECT_EQ(&Picture.Bitmap(), Picture.Graphic());
  EXPECT_EQ(PixelsOf(Picture.Bitmap()), (TColors{Red, Blue, Blue, Red}));
  EXPECT_EQ(Changes, 1);
  Picture.SetGraphic(std::make_unique<TForeignGraphic>());
  EXPECT_TRUE(Picture.Bitmap().GetEmpty()) << "a new bitmap replaces what was not one";
  EXPECT_THROW(Picture.LoadFromFile(Dir.PathOf("p.xyz")), EInvalidGraphic);
}

TEST(Colors, SystemColoursResolveToPlainValues) {
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(240, 240, 240));
  EXPECT_EQ(ColorToRGB(clWindowText), RGB(0, 0, 0));
  EXPECT_EQ(ColorToRGB(clWindow), RGB(255, 255, 255));
  EXPECT_EQ(ColorToRGB(0x12345678), 0x00345678u);
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0x800000FFu)), 0u);
}

} // namespace
