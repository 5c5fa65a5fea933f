#include "platform/graphics/gdi.h"
#include "tests/graphics/gdi_support.h"

#include <gtest/gtest.h>

namespace {

constexpr int Depths[] = {1, 4, 8, 16, 24, 32};

// Four pixels in colours every depth can hold, but for 1-bit bitmaps, whose own table is red
// and blue.
TColors SourceColors(int BitCount) {
  return BitCount == 1 ? TColors{Red, Blue, Blue, Red} : TColors{Black, White, Red, Blue};
}

TColors SourceTable(int BitCount) {
  return BitCount == 1 ? TColors{Red, Blue} : BitCount <= 8 ? TColors{Black, White, Red, Blue}
                                                              : TColors{};
}

// What a colour becomes at a depth: exact, except in a fixed black-and-white table.
COLORREF AtDepth(COLORREF Color, int SourceBits, int TargetBits) {
  const bool OwnTableFits = SourceBits <= 8 && SourceBits <= TargetBits;
  if (TargetBits != 1 || OwnTableFits)
    return Color;
  return Color == White ? White : Black;
}

// Reads a bitmap at a depth, then looks at what came out through a DIB of that depth.
TColors ReadAtDepth(HBITMAP Bitmap, int TargetBits) {
  BITMAPINFO Info = InfoOf(4, 1, TargetBits);
  uint32_t Bits[4] = {};
  HDC DC = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDIBits(DC, Bitmap, 0, 1, Bits, &Info, DIB_RGB_COLORS), 1);
  DeleteDC(DC);
  void* SectionBits = nullptr;
  TTestSurface Check(CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &SectionBits, nullptr, 0));
  const size_t RowBytes = static_cast<size_t>((4 * TargetBits + 31) / 32 * 4);
  std::copy_n(reinterpret_cast<const uint8_t*>(Bits), RowBytes, static_cast<uint8_t*>(SectionBits));
  return Check.Pixels(4, 1);
}

TEST(GetDIBits, ConvertsBetweenEveryPairOfDepths) {
  for (const int From : Depths) {
    TTestSurface Source(NewSection(4, 1, From, SourceTable(From)));
    Source.Fill(4, 1, SourceColors(From));
    for (const int To : Depths) {
      TColors Expected;
      for (const COLORREF Color : SourceColors(From))
        Expected.push_back(AtDepth(Color, From, To));
      EXPECT_EQ(ReadAtDepth(Source.Bitmap(), To), Expected) << From << " -> " << To;
    }
  }
}

// Indexed to the same depth copies indices, so a table with a colour twice keeps both.
TEST(GetDIBits, KeepsIndicesAtTheSameDepth) {
  void* Bits = nullptr;
  HBITMAP Bitmap = NewSection(8, 1, 1, {Red, Red}, &Bits);
  *static_cast<uint8_t*>(Bits) = 0b10110001;
  BITMAPINFO Info = InfoOf(8, 1, 1);
  uint32_t Out = 0;
  HDC DC = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDIBits(DC, Bitmap, 0, 1, &Out, &Info, DIB_RGB_COLORS), 1);
  EXPECT_EQ(Out & 0xFF, 0b10110001u);
  EXPECT_EQ(Info.bmiColors[1].rgbRed, 255);
  DeleteDC(DC);
  DeleteObject(Bitmap);
}

TEST(GetDIBits, CountsScanLinesFromTheBottomOfABottomUpTarget) {
  TTestSurface Source(NewScreenBitmap(1, 3));
  Source.Fill(1, 3, {Red, White, Blue});
  BITMAPINFO Info = InfoOf(1, 1, 24);
  uint8_t Row[4] = {};
  HDC DC = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDIBits(DC, Source.Bitmap(), 0, 1, Row, &Info, DIB_RGB_COLORS), 1);
  EXPECT_EQ(Row[0], 255) << "scan line 0 is the bottom row, blue";
  EXPECT_EQ(GetDIBits(DC, Source.Bitmap(), 3, 1, Row, &Info, DIB_RGB_COLORS), 0);
  DeleteDC(DC);
}

// A device bitmap made from an indexed DIB keeps that DIB's table: read back at its depth, its
// pixels have their own colours again.
TEST(CreateDIBitmap, KeepsTheTableOfAnIndexedDIB) {
  const TColors Table{RGB(10, 20, 30), RGB(40, 50, 60), RGB(70, 80, 90)};
  BITMAPINFO Info = InfoOf(3, 1, 8, Table);
  const uint8_t Bits[4] = {2, 0, 1, 0};
  HDC Screen = GetDC(nullptr);
  HBITMAP Device = CreateDIBitmap(Screen, &Info.bmiHeader, CBM_INIT, Bits, &Info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, Screen);
  BITMAP Record{};
  GetObjectA(Device, sizeof Record, &Record);
  EXPECT_EQ(Record.bmBitsPixel, 32);
  BITMAPINFO Back = InfoOf(3, 1, 8);
  uint8_t Indices[4] = {};
  HDC DC = CreateCompatibleDC(nullptr);
  GetDIBits(DC, Device, 0, 1, Indices, &Back, DIB_RGB_COLORS);
  DeleteDC(DC);
  for (int i = 0; i < 3; ++i) {
    const RGBQUAD Entry = Back.bmiColors[Indices[i]];
    EXPECT_EQ(RGB(Entry.rgbRed, Entry.rgbGreen, Entry.rgbBlue), Table[Bits[i]]) << i;
  }
  DeleteObject(Device);
}

} // namespace
