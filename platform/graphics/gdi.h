// The platform's 2-D graphics calls, done in software: device contexts, DIB sections, device
// bitmaps, monochrome masks, palettes, the four raster operations the codec uses, stretching by
// nearest pixel, and conversion between pixel formats. Handles are opaque pointers to software
// objects; a live-object count lets tests prove that nothing leaked.
#pragma once

#include "platform/core/limits.h"

#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = uint32_t;
using BOOL = int;
using COLORREF = uint32_t; // red in bits 0-7, green 8-15, blue 16-23

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

constexpr COLORREF RGB(BYTE Red, BYTE Green, BYTE Blue) {
  return COLORREF{Red} | (COLORREF{Green} << 8) | (COLORREF{Blue} << 16);
}
constexpr BYTE GetRValue(COLORREF Color) {
  return static_cast<BYTE>(Color);
}
constexpr BYTE GetGValue(COLORREF Color) {
  return static_cast<BYTE>(Color >> 8);
}
constexpr BYTE GetBValue(COLORREF Color) {
  return static_cast<BYTE>(Color >> 16);
}
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

// The handle types. Their objects are defined by the graphics layer only.
class TGdiObject {
public:
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;
  virtual ~TGdiObject() = default;

protected:
  TGdiObject() = default;
};
class TGdiBitmap : public TGdiObject {
protected:
  TGdiBitmap() = default;
};
class TGdiPalette : public TGdiObject {
protected:
  TGdiPalette() = default;
};
class TGdiDC {
public:
  TGdiDC(const TGdiDC&) = delete;
  TGdiDC& operator=(const TGdiDC&) = delete;
  virtual ~TGdiDC() = default;

protected:
  TGdiDC() = default;
};

using HGDIOBJ = TGdiObject*;
using HBITMAP = TGdiBitmap*;
using HPALETTE = TGdiPalette*;
using HDC = TGdiDC*;
using HWND = void*;
using HANDLE = void*;

// Bitmap records, laid out as the platform lays them out.
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight; // positive: bottom-up rows; negative: top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

// Always with room for a full colour table: 1064 bytes.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];
};
static_assert(sizeof(BITMAPINFO) == 1064);

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight; // negative for a top-down DIB section
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};

struct LOGPALETTE {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[256];
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD CBM_INIT = 4;

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCPAINT = 0x00EE0086;

// Contexts. A fresh memory context has background white, text black, and a 1x1 monochrome stock
// bitmap selected; its format is that of the bitmap selected into it.
HDC CreateCompatibleDC(HDC Reference);
BOOL DeleteDC(HDC DC);
// The screen: a 32-bit colour device. Counted apart from the other objects.
HDC GetDC(HWND Window);
int ReleaseDC(HWND Window, HDC DC);
HGDIOBJ SelectObject(HDC DC, HGDIOBJ Object);
// The bitmap a context holds (Kind OBJ_BITMAP); none for the screen or another kind.
constexpr UINT OBJ_BITMAP = 7;
HGDIOBJ GetCurrentObject(HDC DC, UINT Kind);
// Fails, leaving the object live, while a bitmap is still selected into a context.
BOOL DeleteObject(HGDIOBJ Object);
COLORREF SetBkColor(HDC DC, COLORREF Color);
COLORREF GetBkColor(HDC DC);
COLORREF SetTextColor(HDC DC, COLORREF Color);
COLORREF GetTextColor(HDC DC);

// Bitmaps. Each returns null rather than overcommit: the 2 GiB limit, no memory, width <= 0 or
// height 0.
HBITMAP CreateDIBSection(HDC DC, const BITMAPINFO* Info, UINT Usage, void** Bits, HANDLE Section,
                         DWORD Offset);
HBITMAP CreateDIBitmap(HDC DC, const BITMAPINFOHEADER* Header, DWORD Init, const void* Bits,
                       const BITMAPINFO* Info, UINT Usage);
HBITMAP CreateBitmap(int Width, int Height, UINT Planes, UINT BitsPerPixel, const void* Bits);
HBITMAP CreateCompatibleBitmap(HDC DC, int Width, int Height);
int GetObjectA(HGDIOBJ Object, int Size, void* Record);
int GetDIBits(HDC DC, HBITMAP Bitmap, UINT StartScan, UINT Lines, void* Bits, BITMAPINFO* Info,
              UINT Usage);

// Blits, clipped to both surfaces; stretching takes for destination pixel i of n the source
// pixel (2i + 1) * sourceN / (2n) on each axis.
BOOL BitBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Source, int SourceX, int SourceY,
            DWORD Rop);
BOOL StretchBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Source, int SourceX, int SourceY,
                int SourceWidth, int SourceHeight, DWORD Rop);
int StretchDIBits(HDC Dest, int X, int Y, int Width, int Height, int SourceX, int SourceY,
                  int SourceWidth, int SourceHeight, const void* Bits, const BITMAPINFO* Info,
                  UINT Usage, DWORD Rop);
// As StretchBlt with SRCCOPY, but destination pixels whose source pixel has the colour
// Transparent are left as they are.
BOOL TransparentBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Source, int SourceX,
                    int SourceY, int SourceWidth, int SourceHeight, UINT Transparent);
COLORREF GetPixel(HDC DC, int X, int Y);
COLORREF SetPixel(HDC DC, int X, int Y, COLORREF Color);

// Palettes: the nearest entry by squared RGB distance, the lowest index on ties.
HPALETTE CreatePalette(const LOGPALETTE* Palette);
UINT GetNearestPaletteIndex(HPALETTE Palette, COLORREF Color);

// Helpers of the DIB layout that every user of device-independent bitmaps needs, in one place.
// Bytes per DIB row, padded to 4 bytes; computed in 64 bits.
int64_t PaddedRowBytes(int64_t Width, int BitCount);
// The nearest of Count colour-table entries, by the palettes' rule above.
uint32_t NearestColorIndex(const RGBQUAD* Colors, int Count, COLORREF Color);
// The first of Count colour-table entries that holds exactly Color; -1 if none does.
int ExactColorIndex(const RGBQUAD* Colors, int Count, COLORREF Color);
// The colour a colour-table entry holds.
inline COLORREF ColorOfEntry(const RGBQUAD& Entry) {
  return RGB(Entry.rgbRed, Entry.rgbGreen, Entry.rgbBlue);
}

// kernel32's MulDiv: Number * Numerator / Denominator in 64 bits, rounded half away from zero;
// -1 when the denominator is 0 or the result does not fit.
int MulDiv(int Number, int Numerator, int Denominator);

// Test hooks. Live objects: bitmaps, palettes and memory contexts not yet deleted (stock objects
// excluded); screen contexts not yet released are counted apart.
int GdiLiveObjectCount();
int GdiScreenDCCount();
enum TGdiCallKind { gcCreate, gcSelect, gcGetDIBits };
// Makes the Nth call of Kind from now on (1 = the next) fail; 0 stops failures of that kind.
void GdiFailCall(TGdiCallKind Kind, int Nth);
