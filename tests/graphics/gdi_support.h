// Small helpers for graphics tests: bitmaps made from pixel lists and read back as colours.
#pragma once

#include "platform/graphics/gdi.h"
#include "platform/graphics/graphics.h"

#include <vector>

using TColors = std::vector<COLORREF>;

constexpr COLORREF Black = RGB(0, 0, 0);
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Green = RGB(0, 255, 0);
constexpr COLORREF Blue = RGB(0, 0, 255);

// A memory context holding a bitmap, both released when the object goes.
class TTestSurface {
public:
  explicit TTestSurface(HBITMAP Bitmap);
  ~TTestSurface();
  TTestSurface(const TTestSurface&) = delete;
  TTestSurface& operator=(const TTestSurface&) = delete;

  HDC DC() const { return FDC; }
  HBITMAP Bitmap() const { return FBitmap; }
  // Every pixel's colour, rows from the top.
  TColors Pixels(int Width, int Height) const;
  void Fill(int Width, int Height, const TColors& Colors) const;

private:
  HBITMAP FBitmap;
  HDC FDC;
  HGDIOBJ FPrevious;
};

BITMAPINFO InfoOf(int Width, int Height, int BitCount, const TColors& Table = {});
HBITMAP NewSection(int Width, int Height, int BitCount, const TColors& Table = {},
                   void** Bits = nullptr);
// A DIB section holding Pixels, row-major from the top row (a negative Height: top-down).
HBITMAP FilledSection(int Width, int Height, int BitCount, const TColors& Pixels,
                      const TColors& Table = {});
HBITMAP NewScreenBitmap(int Width, int Height);
// Every pixel of a bitmap, rows from the top.
TColors PixelsOf(TBitmap& Bitmap);
