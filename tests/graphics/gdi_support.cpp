#include "tests/graphics/gdi_support.h"

#include <cstddef>

TTestSurface::TTestSurface(HBITMAP Bitmap)
    : FBitmap(Bitmap), FDC(CreateCompatibleDC(nullptr)), FPrevious(SelectObject(FDC, Bitmap)) {}

TTestSurface::~TTestSurface() {
  SelectObject(FDC, FPrevious);
  DeleteDC(FDC);
  DeleteObject(FBitmap);
}

TColors TTestSurface::Pixels(int Width, int Height) const {
  TColors Colors;
  for (int Y = 0; Y < Height; ++Y)
    for (int X = 0; X < Width; ++X)
      Colors.push_back(GetPixel(FDC, X, Y));
  return Colors;
}

namespace {

void FillDC(HDC DC, int Width, int Height, const TColors& Colors) {
  for (int Y = 0; Y < Height; ++Y)
    for (int X = 0; X < Width; ++X)
      SetPixel(DC, X, Y, Colors[static_cast<size_t>(Y * Width + X)]);
}

} // namespace

void TTestSurface::Fill(int Width, int Height, const TColors& Colors) const {
  FillDC(FDC, Width, Height, Colors);
}

BITMAPINFO InfoOf(int Width, int Height, int BitCount, const TColors& Table) {
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  Info.bmiHeader.biWidth = Width;
  Info.bmiHeader.biHeight = Height;
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = static_cast<WORD>(BitCount);
  for (size_t i = 0; i < Table.size(); ++i)
    Info.bmiColors[i] = {GetBValue(Table[i]), GetGValue(Table[i]), GetRValue(Table[i]), 0};
  return Info;
}

HBITMAP NewSection(int Width, int Height, int BitCount, const TColors& Table, void** Bits) {
  const BITMAPINFO Info = InfoOf(Width, Height, BitCount, Table);
  void* Ignored = nullptr;
  return CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, Bits != nullptr ? Bits : &Ignored,
                          nullptr, 0);
}

HBITMAP FilledSection(int Width, int Height, int BitCount, const TColors& Pixels,
                      const TColors& Table) {
  HBITMAP Bitmap = NewSection(Width, Height, BitCount, Table);
  HDC DC = CreateCompatibleDC(nullptr);
  HGDIOBJ Previous = SelectObject(DC, Bitmap);
  FillDC(DC, Width, Height < 0 ? -Height : Height, Pixels);
  SelectObject(DC, Previous);
  DeleteDC(DC);
  return Bitmap;
}

HBITMAP NewScreenBitmap(int Width, int Height) {
  HDC Screen = GetDC(nullptr);
  HBITMAP Bitmap = CreateCompatibleBitmap(Screen, Width, Height);
  ReleaseDC(nullptr, Screen);
  return Bitmap;
}

TColors PixelsOf(TBitmap& Bitmap) {
  TColors Colors;
  for (int Y = 0; Y < Bitmap.GetHeight(); ++Y)
    for (int X = 0; X < Bitmap.GetWidth(); ++X)
      Colors.push_back(Bitmap.Canvas().GetPixel(X, Y));
  return Colors;
}
