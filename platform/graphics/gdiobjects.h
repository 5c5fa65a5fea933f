// The software objects behind the graphics handles (internal to the graphics layer).
#pragma once

#include "platform/graphics/gdi.h"

#include <cstddef>
#include <memory>
#include <vector>

// Rows of pixels in one of the platform's formats, with the colour table that indexed formats
// use. A view does not own its bits.
struct TSurface {
  int32_t Width = 0;
  int32_t Height = 0;
  uint16_t BitCount = 0;   // 1, 4, 8, 16 (5-5-5), 24 or 32
  bool Monochrome = false; // a monochrome device bitmap: blits map its bits to context colours
  bool TopDown = false;
  int64_t Stride = 0;
  uint8_t* Bits = nullptr;
  const RGBQUAD* Colors = nullptr; // 2^BitCount entries for indexed formats
  int ColorCount = 0;

  uint8_t* Row(int32_t Y) const { return Bits + Stride * (TopDown ? Y : Height - 1 - Y); }
  bool Contains(int64_t X, int64_t Y) const { return X >= 0 && Y >= 0 && X < Width && Y < Height; }
  bool Indexed() const { return BitCount <= 8 && !Monochrome; }

  // The stored bits of a pixel, and back.
  uint32_t RawPixel(int32_t X, int32_t Y) const;
  void SetRawPixel(int32_t X, int32_t Y, uint32_t Value) const;
  // The colour stored bits stand for (a monochrome 1 is white), and the bits that store a colour:
  // the nearest table entry for indexed formats.
  COLORREF ColorOf(uint32_t Raw) const;
  uint32_t RawOf(COLORREF Color) const;
  // Bits a raster operation may touch.
  uint32_t RawMask() const { return BitCount >= 32 ? 0xFFFFFFFFu : (1u << BitCount) - 1; }
};

class TDeviceContext;

class TBitmapObject : public TGdiBitmap {
public:
  // Zeroed storage for Height rows of Stride bytes; false when it cannot be had.
  bool Allocate();
  ~TBitmapObject() override;

  TSurface Surface() const;

  int32_t Width = 0;
  int32_t Height = 0;
  uint16_t BitCount = 32;
  bool Monochrome = false;
  bool TopDown = true;
  bool DIBSection = false;
  bool Stock = false;
  int64_t Stride = 0;
  uint8_t* Bits = nullptr;
  // Indexed formats: their table. A device bitmap made from an indexed DIB keeps that DIB's
  // table and depth here, so that converting back to that depth restores its colours exactly.
  std::vector<RGBQUAD> Colors;
  uint16_t ColorsBitCount = 0;
  TDeviceContext* SelectedInto = nullptr;
};

class TPaletteObject : public TGdiPalette {
public:
  std::vector<PALETTEENTRY> Entries;
};

class TDeviceContext : public TGdiDC {
public:
  bool Screen = false;
  TBitmapObject* Selected = nullptr;
  COLORREF Background = RGB(255, 255, 255);
  COLORREF Text = RGB(0, 0, 0);
};

// Handle checks: the live object behind a handle, or null for a handle that is not (or no
// longer) one of ours.
TBitmapObject* BitmapOf(HGDIOBJ Handle);
TPaletteObject* PaletteOf(HGDIOBJ Handle);
TDeviceContext* ContextOf(HDC Handle);

// Registers a new object as live and returns its handle; when that fails the object goes too.
HBITMAP AdoptBitmap(std::unique_ptr<TBitmapObject> Bitmap);
HPALETTE AdoptPalette(std::unique_ptr<TPaletteObject> Palette);

// The shared 1x1 monochrome bitmap every fresh memory context holds.
TBitmapObject& StockBitmap();

// True when the test hook wants this call of Kind to fail.
bool InjectedGdiFailure(TGdiCallKind Kind);

// A device bitmap in the format a context makes: monochrome when it holds a monochrome bitmap,
// else the screen's 32 bits. Null when the size cannot be had.
std::unique_ptr<TBitmapObject> NewCompatibleBitmap(const TDeviceContext& Context, int Width,
                                                   int Height);

// Fills a rectangle of the context's bitmap with a colour, clipped.
BOOL FillSolid(HDC DC, int X, int Y, int Width, int Height, COLORREF Color);

// A new bitmap of the same format, size, colour table and pixels; null when it cannot be had.
HBITMAP DuplicateBitmap(HBITMAP Bitmap);

// A DIB given by its header, colour table and bits, as a surface.
bool DIBSurface(const BITMAPINFO& Info, const void* Bits, TSurface& Surface);
