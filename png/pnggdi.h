// The codec's dealings with the platform's graphics, and owners of the graphics objects it makes
// for a moment: each is released by its own handle on every way out. A handle that could not be
// had is the system being out of resources (not part of the public face).
#pragma once

#include "png/pngimage.h"

[[noreturn]] inline void RaiseOutOfResources() {
  TPNGObject::RaisePngError<EPNGOutMemory>(PngMessage(MsgOutOfResources));
}

class TOwnedDC {
public:
  explicit TOwnedDC(HDC Handle) : FHandle(Handle) {
    if (FHandle == nullptr)
      RaiseOutOfResources();
  }
  ~TOwnedDC() { DeleteDC(FHandle); }
  TOwnedDC(const TOwnedDC&) = delete;
  TOwnedDC& operator=(const TOwnedDC&) = delete;
  HDC Get() const { return FHandle; }

private:
  HDC FHandle;
};

class TOwnedBitmap {
public:
  explicit TOwnedBitmap(HBITMAP Handle) : FHandle(Handle) {
    if (FHandle == nullptr)
      RaiseOutOfResources();
  }
  ~TOwnedBitmap() {
    if (FHandle != nullptr)
      DeleteObject(FHandle);
  }
  TOwnedBitmap(const TOwnedBitmap&) = delete;
  TOwnedBitmap& operator=(const TOwnedBitmap&) = delete;
  HBITMAP Get() const { return FHandle; }

private:
  HBITMAP FHandle;
};

// A bitmap selected into a context, selected out again before either goes.
class TSelection {
public:
  TSelection(HDC DC, HBITMAP Bitmap) : FDC(DC), FPrevious(SelectObject(DC, Bitmap)) {
    if (FPrevious == nullptr)
      RaiseOutOfResources();
  }
  ~TSelection() { SelectObject(FDC, FPrevious); }
  TSelection(const TSelection&) = delete;
  TSelection& operator=(const TSelection&) = delete;

private:
  HDC FDC;
  HGDIOBJ FPrevious;
};

class TScreenDC {
public:
  TScreenDC() : FHandle(GetDC(nullptr)) {}
  ~TScreenDC() { ReleaseDC(nullptr, FHandle); }
  TScreenDC(const TScreenDC&) = delete;
  TScreenDC& operator=(const TScreenDC&) = delete;
  HDC Get() const { return FHandle; }

private:
  HDC FHandle;
};

// Fills a header from a bitmap's description and copies the bitmap's pixels into its new image
// memory, converted to its format.
void FillHeaderFromBitmap(TChunkIHDR& Header, HBITMAP Handle, const BITMAP& Description);

// The byte offset of image row Y in a bottom-up DIB, in 64 bits.
constexpr int64_t RowOffset(int32_t Stride, uint32_t Height, int32_t Y) {
  return int64_t{Stride} * (int64_t{Height} - 1 - Y);
}

// Stretches the DIB into Rect, leaving the destination's pixels where the stretched source pixel
// has the colour KeyColor; EPNGOutMemory, with the target untouched, when its temporary contexts
// and bitmaps cannot be had.
void DrawColorKeyed(HDC DC, const void* Bits, const BITMAPINFOHEADER& InfoHeader,
                    const BITMAPINFO& Info, const TRect& Rect, COLORREF KeyColor);
