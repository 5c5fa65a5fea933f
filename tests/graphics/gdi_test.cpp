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

TEST(Contexts, AFreshMemoryContextHasThePlatformDefaults) {
  HDC DC = CreateCompatibleDC(nullptr);
  ASSERT_NE(DC, nullptr);
  EXPECT_EQ(GdiLiveObjectCount(), 1);
  EXPECT_EQ(GetBkColor(DC), White);
  EXPECT_EQ(GetTextColor(DC), Black);
  EXPECT_EQ(SetBkColor(DC, Red), White);
  EXPECT_EQ(SetBkColor(DC, Green), Red);

  HBITMAP Bitmap = NewScreenBitmap(2, 2);
  HGDIOBJ Stock = SelectObject(DC, Bitmap);
  const BITMAP StockRecord = Describe(static_cast<HBITMAP>(Stock));
  EXPECT_EQ(StockRecord.bmWidth, 1);
  EXPECT_EQ(StockRecord.bmHeight, 1);
  EXPECT_EQ(StockRecord.bmBitsPixel, 1);
  EXPECT_EQ(GdiLiveObjectCount(), 2) << "the stock bitmap is not counted";
  SelectObject(DC, Stock);
  EXPECT_EQ(DeleteObject(Bitmap), TRUE);
  EXPECT_EQ(DeleteDC(DC), TRUE);
}

TEST(Contexts, ScreenContextsAreCountedApart) {
  HDC First = GetDC(nullptr);
  HDC Second = GetDC(nullptr);
  EXPECT_EQ(GdiScreenDCCount(), 2);
  EXPECT_EQ(GdiLiveObjectCount(), 0);
  EXPECT_EQ(ReleaseDC(nullptr, First), 1);
  EXPECT_EQ(ReleaseDC(nullptr, Second), 1);
  EXPECT_EQ(ReleaseDC(nullptr, Second), 0);
}

TEST(Ownership, ASelectedBitmapCannotBeDeleted) {
  HBITMAP Bitmap = NewScreenBitmap(1, 1);
  HDC DC = CreateCompatibleDC(nullptr);
  HDC Other = CreateCompatibleDC(nullptr);
  HGDIOBJ Previous = SelectObject(DC, Bitmap);
  EXPECT_EQ(GetCurrentObject(DC, OBJ_BITMAP), Bitmap);
  EXPECT_NE(GetCurrentObject(Other, OBJ_BITMAP), nullptr) << "the stock bitmap";
  EXPECT_EQ(GetCurrentObject(DC, OBJ_BITMAP + 1), nullptr);
  EXPECT_EQ(SelectObject(Other, Bitmap), nullptr) << "one context at a time";
  EXPECT_EQ(DeleteObject(Bitmap), FALSE);
  EXPECT_EQ(GdiLiveObjectCount(), 3);
  SelectObject(DC, Previous);
  EXPECT_EQ(DeleteObject(Bitmap), TRUE);
  EXPECT_EQ(DeleteObject(Bitmap), FALSE) << "a stale handle is refused, not followed";
  DeleteDC(DC);
  DeleteDC(Other);
}

TEST(FailureHook, FailsExactlyTheNthCallOfItsKind) {
  GdiFailCall(gcCreate, 2);
  HDC First = CreateCompatibleDC(nullptr);
  HBITMAP Second = NewSection(1, 1, 24);
  HBITMAP Third = NewSection(1, 1, 24);
  EXPECT_NE(First, nullptr);
  EXPECT_EQ(Second, nullptr);
  EXPECT_NE(Third, nullptr);

  GdiFailCall(gcSelect, 1);
  EXPECT_EQ(SelectObject(First, Third), nullptr);
  EXPECT_NE(SelectObject(First, Third), nullptr);
  DeleteDC(First);
  DeleteObject(Third);
}

struct TStrideCase {
  int Width, BitCount;
  LONG Stride;
};

TEST(DIBSections, RowsArePaddedToFourBytes) {
  const TStrideCase Cases[] = {{1, 24, 4}, {5, 1, 4},  {33, 1, 8}, {3, 16, 8},
                               {1, 32, 4}, {7, 4, 4},  {9, 4, 8},  {13, 8, 16}};
  for (const auto& Case : Cases) {
    HBITMAP Bitmap = NewSection(Case.Width, 2, Case.BitCount);
    EXPECT_EQ(Describe(Bitmap).bmWidthBytes, Case.Stride) << Case.Width << "x" << Case.BitCount;
    DeleteObject(Bitmap);
  }
}

TEST(DIBSections, BottomUpAndTopDownPlaceTheTopRowAccordingly) {
  for (const int Height : {3, -3}) {
    void* Bits = nullptr;
    TTestSurface Surface(NewSection(1, Height, 24, {}, &Bits));
    SetPixel(Surface.DC(), 0, 0, RGB(1, 2, 3));
    const auto* Bytes = static_cast<const uint8_t*>(Bits);
    const int TopRow = Height > 0 ? 2 : 0;
    EXPECT_EQ(Bytes[4 * TopRow], 3) << Height; // blue, green, red
    EXPECT_EQ(Bytes[4 * TopRow + 2], 1) << Height;
    EXPECT_EQ(Describe(Surface.Bitmap()).bmHeight, Height);
  }
}

TEST(DIBSections, StartZeroedAndRefuseWhatCannotBeMade) {
  void* Bits = nullptr;
  HBITMAP Bitmap = NewSection(10, 10, 8, {}, &Bits);
  const auto* Bytes = static_cast<const uint8_t*>(Bits);
  EXPECT_TRUE(std::all_of(Bytes, Bytes + 120, [](uint8_t B) { return B == 0; }));
  DeleteObject(Bitmap);

  const std::pair<BITMAPINFO, const char*> Refused[] = {
      {InfoOf(0, 4, 24), "width 0"},     {InfoOf(-2, 4, 24), "negative width"},
      {InfoOf(4, 0, 24), "height 0"},    {InfoOf(4, 4, 2), "2 bits"},
      {InfoOf(4, 4, 64), "64 bits"},
  };
  for (const auto& [Info, Why] : Refused) {
    Bits = &Bits;
    EXPECT_EQ(CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0), nullptr) << Why;
    EXPECT_EQ(Bits, nullptr) << Why;
  }
}

// The limit counts padded rows: 65533 pixels of 8 bits take 65536 bytes a row.
TEST(DIBSections, AreLimitedToTwoGibibytesAsOnThe32BitPlatform) {
  void* Bits = nullptr;
  HBITMAP Largest = NewSection(65535, 32767, 8, {}, &Bits);
  ASSERT_NE(Largest, nullptr);
  EXPECT_EQ(int64_t{Describe(Largest).bmWidthBytes} * 32767, 2147418112);
  DeleteObject(Largest);
  EXPECT_EQ(NewSection(65533, 32768, 8), nullptr);
  EXPECT_EQ(NewSection(1, 536870912, 32), nullptr);
}

TEST(CompatibleBitmaps, FollowTheContextsFormat) {
  HDC Memory = CreateCompatibleDC(nullptr);
  HBITMAP Mono = CreateCompatibleBitmap(Memory, 4, 4);
  EXPECT_EQ(Describe(Mono).bmBitsPixel, 1) << "a fresh context holds a monochrome bitmap";
  HBITMAP Colour = NewScreenBitmap(4, 4);
  EXPECT_EQ(Describe(Colour).bmBitsPixel, 32);
  HGDIOBJ Stock = SelectObject(Memory, Colour);
  HBITMAP FromColour = CreateCompatibleBitmap(Memory, 4, 4);
  EXPECT_EQ(Describe(FromColour).bmBitsPixel, 32);
  SelectObject(Memory, Stock);
  for (HBITMAP Bitmap : {Mono, Colour, FromColour})
    DeleteObject(Bitmap);
  DeleteDC(Memory);
  HBITMAP Made = CreateBitmap(9, 2, 1, 1, nullptr);
  EXPECT_EQ(Describe(Made).bmBitsPixel, 1);
  DeleteObject(Made);
}

// On monochrome surfaces every raster operation acts on the bits themselves.
TEST(RasterOperations, FollowTheirTruthTablesOnMonochromeBits) {
  const std::pair<DWORD, TColors> Cases[] = {
      // for source bits 0 0 1 1 over destination bits 0 1 0 1
      {SRCCOPY, {Black, Black, White, White}}, {NOTSRCCOPY, {White, White, Black, Black}},
      {SRCAND, {Black, Black, Black, White}},  {SRCPAINT, {Black, White, White, White}}};
  for (const auto& [Rop, Expected] : Cases) {
    TTestSurface Source(CreateBitmap(4, 1, 1, 1, nullptr));
    TTestSurface Dest(CreateBitmap(4, 1, 1, 1, nullptr));
    Source.Fill(4, 1, {Black, Black, White, White});
    Dest.Fill(4, 1, {Black, White, Black, White});
    EXPECT_EQ(BitBlt(Dest.DC(), 0, 0, 4, 1, Source.DC(), 0, 0, Rop), TRUE);
    EXPECT_EQ(Dest.Pixels(4, 1), Expected) << std::hex << Rop;
  }
}

TEST(RasterOperations, ActOnTruecolourBits) {
  TTestSurface Source(NewScreenBitmap(1, 1));
  TTestSurface Dest(NewScreenBitmap(1, 1));
  const std::tuple<DWORD, COLORREF, COLORREF, COLORREF> Cases[] = {
      {SRCAND, RGB(0xF0, 0x0F, 0xFF), RGB(0x3C, 0x3C, 0x00), RGB(0x30, 0x0C, 0x00)},
      {SRCPAINT, RGB(0xF0, 0x0F, 0x00), RGB(0x0C, 0x30, 0x00), RGB(0xFC, 0x3F, 0x00)},
      {NOTSRCCOPY, RGB(0xF0, 0x0F, 0x00), RGB(1, 2, 3), RGB(0x0F, 0xF0, 0xFF)},
      {SRCCOPY, RGB(7, 8, 9), RGB(1, 2, 3), RGB(7, 8, 9)}};
  for (const auto& [Rop, From, Under, Expected] : Cases) {
    SetPixel(Source.DC(), 0, 0, From);
    SetPixel(Dest.DC(), 0, 0, Under);
    BitBlt(Dest.DC(), 0, 0, 1, 1, Source.DC(), 0, 0, Rop);
    EXPECT_EQ(GetPixel(Dest.DC(), 0, 0), Expected) << std::hex << Rop;
  }
}

// Colour -> monochrome: the source context's background gives 1, all else 0, comparing only the
// colour bits.
TEST(Conversions, ColourToMonochromeUsesTheSourceBackground) {
  TTestSurface Source(NewScreenBitmap(3, 1));
  TTestSurface Mask(CreateBitmap(3, 1, 1, 1, nullptr));
  Source.Fill(3, 1, {Red, Green, Blue});
  SetBkColor(Source.DC(), Green | 0x02000000u);
  StretchBlt(Mask.DC(), 0, 0, 3, 1, Source.DC(), 0, 0, 3, 1, SRCCOPY);
  EXPECT_EQ(Mask.Pixels(3, 1), (TColors{Black, White, Black}));
}

// Monochrome -> colour: 1 gives the destination's background, 0 its text colour.
TEST(Conversions, MonochromeToColourUsesTheDestinationColours) {
  TTestSurface Mask(CreateBitmap(2, 1, 1, 1, nullptr));
  TTestSurface Dest(NewScreenBitmap(2, 1));
  Mask.Fill(2, 1, {White, Black});
  SetBkColor(Dest.DC(), Red);
  SetTextColor(Dest.DC(), Blue);
  BitBlt(Dest.DC(), 0, 0, 2, 1, Mask.DC(), 0, 0, SRCCOPY);
  EXPECT_EQ(Dest.Pixels(2, 1), (TColors{Red, Blue}));
}

TEST(Stretching, TakesThePixelUnderEachCentre) {
  const std::tuple<int, int, std::vector<int>> Cases[] = {
      // source and destination sizes, the source pixel each destination pixel shows
      {2, 3, {0, 1, 1}}, {2, 4, {0, 0, 1, 1}}, {3, 2, {0, 2}}, {4, 2, {1, 3}},
      {5, 3, {0, 2, 4}}, {1, 3, {0, 0, 0}},    {3, 1, {1}}};
  for (const auto& [SourceCount, DestCount, Taken] : Cases) {
    SCOPED_TRACE(testing::Message() << SourceCount << " -> " << DestCount);
    TColors Row;
    for (int i = 0; i < SourceCount; ++i)
      Row.push_back(RGB(static_cast<BYTE>(10 * i + 10), 0, 0));
    TTestSurface Source(NewScreenBitmap(SourceCount, 1));
    Source.Fill(SourceCount, 1, Row);
    // Horizontally, and transposed vertically.
    TTestSurface Wide(NewScreenBitmap(DestCount, 1));
    StretchBlt(Wide.DC(), 0, 0, DestCount, 1, Source.DC(), 0, 0, SourceCount, 1, SRCCOPY);
    TTestSurface Column(NewScreenBitmap(1, SourceCount));
    Column.Fill(1, SourceCount, Row);
    TTestSurface Tall(NewScreenBitmap(1, DestCount));
    StretchBlt(Tall.DC(), 0, 0, 1, DestCount, Column.DC(), 0, 0, 1, SourceCount, SRCCOPY);
    TColors Expected;
    for (const int Index : Taken)
      Expected.push_back(Row[static_cast<size_t>(Index)]);
    EXPECT_EQ(Wide.Pixels(DestCount, 1), Expected);
    EXPECT_EQ(Tall.Pixels(1, DestCount), Expected);
  }
}

TEST(Clipping, NothingOutsideEitherSurfaceIsTouched) {
  TTestSurface Source(NewScreenBitmap(2, 2));
  Source.Fill(2, 2, {Red, Green, Blue, White});
  TTestSurface Dest(NewScreenBitmap(3, 3));
  EXPECT_EQ(BitBlt(Dest.DC(), -1, -1, 2, 2, Source.DC(), 0, 0, SRCCOPY), TRUE);
  EXPECT_EQ(BitBlt(Dest.DC(), 2, 2, 2, 2, Source.DC(), 0, 0, SRCCOPY), TRUE);
  // Source rectangle hanging off the source: only pixels that exist are copied.
  EXPECT_EQ(BitBlt(Dest.DC(), 0, 2, 2, 1, Source.DC(), 1, 1, SRCCOPY), TRUE);
  EXPECT_EQ(Dest.Pixels(3, 3),
            (TColors{White, Black, Black, Black, Black, Black, White, Black, Red}));
}

TEST(StretchDIBits, DrawsEitherOrientationTopRowFirst) {
  for (const int Height : {2, -2}) {
    const BITMAPINFO Info = InfoOf(1, Height, 32);
    // In memory: first row, then second; the top row is the first only for a top-down DIB.
    const uint32_t Pixels[] = {0x00FF0000u, 0x000000FFu}; // red, blue
    TTestSurface Dest(NewScreenBitmap(2, 4));
    EXPECT_EQ(StretchDIBits(Dest.DC(), 0, 0, 2, 4, 0, 0, 1, 2, Pixels, &Info, DIB_RGB_COLORS,
                            SRCCOPY),
              2);
    const COLORREF Top = Height < 0 ? Red : Blue;
    const COLORREF Bottom = Height < 0 ? Blue : Red;
    EXPECT_EQ(Dest.Pixels(2, 4), (TColors{Top, Top, Top, Top, Bottom, Bottom, Bottom, Bottom}));
  }
}

TEST(Palettes, NearestIndexByDistanceLowestOnTies) {
  LOGPALETTE Logical{0x300, 256, {}};
  Logical.palPalEntry[3] = {200, 0, 0, 0};
  Logical.palPalEntry[7] = {0, 0, 200, 0};
  Logical.palPalEntry[9] = {200, 0, 0, 0};
  HPALETTE Palette = CreatePalette(&Logical);
  ASSERT_NE(Palette, nullptr);
  EXPECT_EQ(GetNearestPaletteIndex(Palette, RGB(0, 0, 0)), 0u);
  EXPECT_EQ(GetNearestPaletteIndex(Palette, RGB(250, 10, 0)), 3u) << "3 and 9 tie: 3 wins";
  EXPECT_EQ(GetNearestPaletteIndex(Palette, RGB(0, 0, 190)), 7u);
  WORD Entries = 0;
  EXPECT_EQ(GetObjectA(Palette, sizeof Entries, &Entries), 2);
  EXPECT_EQ(Entries, 256);
  DeleteObject(Palette);
  EXPECT_EQ(GetNearestPaletteIndex(Palette, RGB(0, 0, 0)), CLR_INVALID);
}

TEST(MulDiv, RoundsHalfAwayFromZero) {
  const std::tuple<int, int, int, int> Cases[] = {
      {1, 255, 3, 85},  {2, 255, 3, 170},   {1, 1, 2, 1},           {-1, 1, 2, -1},
      {1, 255, 15, 17}, {7, 255, 15, 119},  {3, 2, -4, -2},         {5, 5, 0, -1},
      {0x7FFFFFFF, 2, 1, -1}, {0x40000000, 4, 2, -1}};
  for (const auto& [Number, Numerator, Denominator, Expected] : Cases)
    EXPECT_EQ(MulDiv(Number, Numerator, Denominator), Expected)
        << Number << " * " << Numerator << " / " << Denominator;
}

} // namespace
