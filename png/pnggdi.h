// Owners of the graphics objects the codec makes for a moment: each is released by its own
// handle on every way out. A handle that could not be had is the system being out of resources.
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
