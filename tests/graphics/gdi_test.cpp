#include "platform/graphics/gdi.h"
#include "tests/graphics/gdi_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

BITMAP Describe(HBITMAP Bitmap) {
  BITMAP Record{};
  EXPECT_EQ(GetObjectA(Bitmap, sizeof Record, &Record), static_cast<int>(sizeof Record));
  return Record;
}

// A fresh memory context draws white on black into an uncounted 1x1 monochrome stock bitmap,
// and compatible bitmaps take the format of whatever it holds.
TEST(Contexts, AFreshMemoryContextHasThePlatformDefaults) {
  TTestSurface Colour(NewScreenBitmap(1, 1));
  HDC DC = CreateCompatibleDC(nullptr);
  EXPECT_EQ(std::pair(GetBkColor(DC), GetTextColor(DC)), std::pair(White, Black));
  EXPECT_EQ(SetBkColor(DC, Red), White);
  const BITMAP Stock = Describe(static_cast<HBITMAP>(GetCurrentObject(DC, OBJ_BITMAP)));
  EXPECT_EQ(std::tuple(Stock.bmWidth, Stock.bmHeight, Stock.bmBitsPixel), std::tuple(1, 1, 1));
  EXPECT_EQ(GdiLiveObjectCount(), 3);
  TTestSurface Mono(CreateCompatibleBitmap(DC, 4, 4));
  TTestSurface Deep(CreateCompatibleBitmap(Colour.DC(), 4, 4));
  EXPECT_EQ(std::tuple(Describe(Mono.Bitmap()).bmBitsPixel, Describe(Deep.Bitmap()).bmBitsPixel),
            std::tuple(1, 32));
  DeleteDC(DC);
}

TEST(DIBSections, BottomUpAndTopDownPlaceTheTopRowAccordingly) {
  for (const int Height : {3, -3}) {
    void* Bits = nullptr;
    TTestSurface Surface(NewSection(1, Height, 24, {}, &Bits));
    SetPixel(Surface.DC(), 0, 0, RGB(1, 2, 3));
    EXPECT_EQ(static_cast<const uint8_t*>(Bits)[Height > 0 ? 8 : 0], 3) << Height; // blue first
    EXPECT_EQ(Describe(Surface.Bitmap()).bmHeight, Height);
  }
}

// As on the 32-bit platform, padded rows may take at most 2 GiB: 65533 pixels of 8 bits take
// 65536 bytes a row. A section is made zeroed, or not at all.
TEST(DIBSections, StartZeroedAndRefuseWhatCannotBeMade) {
  const std::tuple<int, int, int> Refused[] = {
      {0, 4, 24}, {4, 0, 24}, {4, 4, 2}, {65533, 32768, 8}, {1, 536870912, 32}};
  for (const auto& [Width, Height, BitCount] : Refused) {
    void* Bits = &Bits;
    EXPECT_EQ(NewSection(Width, Height, BitCount, {}, &Bits), nullptr) << Width << "x" << Height;
    EXPECT_EQ(Bits, nullptr);
  }
  void* Bits = nullptr;
  HBITMAP Largest = NewSection(65535, 32767, 8, {}, &Bits);
  ASSERT_NE(Largest, nullptr);
  EXPECT_EQ(static_cast<const uint8_t*>(Bits)[2147418111], 0) << "the last byte";
  DeleteObject(Largest);
}

// Every operation acts on the bits of each colour channel: the results for source F0 0F 55 over
// destination 3C 3C 00.
TEST(RasterOperations, ActOnTheBitsOfEachChannel) {
  const std::pair<DWORD, COLORREF> Cases[] = {{SRCCOPY, RGB(0xF0, 0x0F, 0x55)},
                                              {NOTSRCCOPY, RGB(0x0F, 0xF0, 0xAA)},
                                              {SRCAND, RGB(0x30, 0x0C, 0x00)},
                                              {SRCPAINT, RGB(0xFC, 0x3F, 0x55)}};
  for (const auto& [Rop, Expected] : Cases) {
    TTestSurface Source(NewScreenBitmap(1, 1)), Dest(NewScreenBitmap(1, 1));
    SetPixel(Source.DC(), 0, 0, RGB(0xF0, 0x0F, 0x55));
    SetPixel(Dest.DC(), 0, 0, RGB(0x3C, 0x3C, 0x00));
    EXPECT_EQ(BitBlt(Dest.DC(), 0, 0, 1, 1, Source.DC(), 0, 0, Rop), TRUE);
    EXPECT_EQ(GetPixel(Dest.DC(), 0, 0), Expected) << std::hex << Rop;
  }
}

// Colour to monochrome: the source's background (its colour bits alone) gives 1, all else 0.
// Monochrome to colour: 1 gives the destination's background, 0 its text colour. Keyed drawing
// also inverts such a mask.
TEST(Conversions, BetweenColourAndMonochromeFollowTheContextsColours) {
  TTestSurface Colour(NewScreenBitmap(3, 1)), Mask(CreateBitmap(3, 1, 1, 1, nullptr)),
      Inverse(CreateBitmap(3, 1, 1, 1, nullptr));
  Colour.Fill(3, 1, {Red, Green, Blue});
  SetBkColor(Colour.DC(), Green | 0x02000000u);
  StretchBlt(Mask.DC(), 0, 0, 3, 1, Colour.DC(), 0, 0, 3, 1, SRCCOPY);
  EXPECT_EQ(Mask.Pixels(3, 1), (TColors{Black, White, Black}));
  BitBlt(Inverse.DC(), 0, 0, 3, 1, Mask.DC(), 0, 0, NOTSRCCOPY);
  EXPECT_EQ(Inverse.Pixels(3, 1), (TColors{White, Black, White}));
  SetBkColor(Colour.DC(), Red);
  SetTextColor(Colour.DC(), Blue);
  BitBlt(Colour.DC(), 0, 0, 3, 1, Mask.DC(), 0, 0, SRCCOPY);
  EXPECT_EQ(Colour.Pixels(3, 1), (TColors{Blue, Red, Blue}));
}

// Both ways at once: source pixel (X, Y) is Shade(X, Y).
TEST(Stretching, TakesThePixelUnderEachCentre) {
  const std::tuple<int, int, std::vector<int>> Cases[] = {
      // source and destination sizes, the source pixel each destination pixel shows
      {2, 3, {0, 1, 1}},
      {2, 4, {0, 0, 1, 1}},
      {4, 2, {1, 3}},
      {1, 3, {0, 0, 0}},
      {3, 1, {1}}};
  auto Shade = [](int X, int Y) { return RGB(10 * X + 10, 10 * Y + 10, 0); };
  for (const auto& [SourceCount, DestCount, Taken] : Cases) {
    TColors Square, Expected;
    for (int Y = 0; Y < SourceCount; ++Y)
      for (int X = 0; X < SourceCount; ++X)
        Square.push_back(Shade(X, Y));
    for (const int Y : Taken)
      for (const int X : Taken)
        Expected.push_back(Shade(X, Y));
    TTestSurface Source(NewScreenBitmap(SourceCount, SourceCount));
    TTestSurface Dest(NewScreenBitmap(DestCount, DestCount));
    Source.Fill(SourceCount, SourceCount, Square);
    StretchBlt(Dest.DC(), 0, 0, DestCount, DestCount, Source.DC(), 0, 0, SourceCount, SourceCount,
               SRCCOPY);
    EXPECT_EQ(Dest.Pixels(DestCount, DestCount), Expected) << SourceCount << " -> " << DestCount;
  }
}

TEST(Clipping, NothingOutsideEitherSurfaceIsTouched) {
  TTestSurface Source(NewScreenBitmap(2, 2)), Dest(NewScreenBitmap(3, 3));
  Source.Fill(2, 2, {Red, Green, Blue, White});
  EXPECT_EQ(BitBlt(Dest.DC(), -1, -1, 2, 2, Source.DC(), 0, 0, SRCCOPY), TRUE);
  EXPECT_EQ(BitBlt(Dest.DC(), 2, 2, 2, 2, Source.DC(), 0, 0, SRCCOPY), TRUE);
  // Source rectangle hanging off the source: only pixels that exist are copied.
  EXPECT_EQ(BitBlt(Dest.DC(), 0, 2, 2, 1, Source.DC(), 1, 1, SRCCOPY), TRUE);
  EXPECT_EQ(Dest.Pixels(3, 3),
            (TColors{White, Black, Black, Black, Black, Black, White, Black, Red}));
}

// In memory the first row comes first; it is the top row only for a top-down DIB.
TEST(StretchDIBits, DrawsEitherOrientationTopRowFirst) {
  const uint32_t Pixels[] = {0x00FF0000u, 0x000000FFu}; // red, blue
  for (const int Height : {2, -2}) {
    const BITMAPINFO Info = InfoOf(1, Height, 32);
    TTestSurface Dest(NewScreenBitmap(1, 4));
    EXPECT_EQ(
        StretchDIBits(Dest.DC(), 0, 0, 1, 4, 0, 0, 1, 2, Pixels, &Info, DIB_RGB_COLORS, SRCCOPY),
        2);
    const COLORREF Top = Height < 0 ? Red : Blue, Bottom = Height < 0 ? Blue : Red;
    EXPECT_EQ(Dest.Pixels(1, 4), (TColors{Top, Top, Bottom, Bottom})) << Height;
  }
}

// Reads a bitmap's first four pixels at a depth, then looks at them through a DIB section of
// that depth.
TColors ReadAtDepth(HBITMAP Bitmap, int TargetBits) {
  BITMAPINFO Info = InfoOf(4, 1, TargetBits);
  uint32_t Bits[4] = {};
  HDC DC = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDIBits(DC, Bitmap, 0, 1, Bits, &Info, DIB_RGB_COLORS), 1);
  DeleteDC(DC);
  void* SectionBits = nullptr;
  TTestSurface Check(CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &SectionBits, nullptr, 0));
  std::copy_n(reinterpret_cast<const uint8_t*>(Bits), Describe(Check.Bitmap()).bmWidthBytes,
              static_cast<uint8_t*>(SectionBits));
  return Check.Pixels(4, 1);
}

// Colours every depth can hold, but for 1-bit bitmaps, whose own table is red and blue: they
// stay exact, except when a larger depth goes to a fixed black-and-white table.
TEST(GetDIBits, ConvertsBetweenEveryPairOfDepths) {
  for (const int From : {1, 4, 8, 16, 24, 32}) {
    const TColors Colors =
        From == 1 ? TColors{Red, Blue, Blue, Red} : TColors{Black, White, Red, Blue};
    const TColors Table = From == 1 ? TColors{Red, Blue} : From <= 8 ? Colors : TColors{};
    TTestSurface Source(NewSection(4, 1, From, Table));
    Source.Fill(4, 1, Colors);
    for (const int To : {1, 4, 8, 16, 24, 32}) {
      const TColors Expected = To == 1 && From != 1 ? TColors{Black, White, Black, Black} : Colors;
      EXPECT_EQ(ReadAtDepth(Source.Bitmap(), To), Expected) << From << " -> " << To;
    }
  }
}

// A device bitmap made from an indexed DIB keeps that DIB's table: read back at its depth, its
// pixels have their own colours again.
TEST(CreateDIBitmap, KeepsTheTableOfAnIndexedDIB) {
  const TColors Table{RGB(10, 20, 30), RGB(40, 50, 60), RGB(70, 80, 90)};
  const BITMAPINFO Info = InfoOf(4, 1, 8, Table);
  const uint8_t Bits[4] = {2, 0, 1, 0};
  HDC Screen = GetDC(nullptr);
  TTestSurface Device(
      CreateDIBitmap(Screen, &Info.bmiHeader, CBM_INIT, Bits, &Info, DIB_RGB_COLORS));
  ReleaseDC(nullptr, Screen);
  EXPECT_EQ(ReadAtDepth(Device.Bitmap(), 8), (TColors{Table[2], Table[0], Table[1], Table[0]}));
}

} // namespace
