// The platform bitmap: ownership of its handle, size, pixel formats, drawing, files, clipboard.
#include "platform/graphics/bmpfile.h"
#include "platform/graphics/gdiobjects.h"
#include "platform/graphics/graphics.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// A memory context for the span of one operation.
class TScopedDC {
public:
  TScopedDC() : FHandle(CreateCompatibleDC(nullptr)) {
    if (FHandle == nullptr)
      throw EOutOfMemory("Out of system resources");
  }
  ~TScopedDC() { DeleteDC(FHandle); }
  TScopedDC(const TScopedDC&) = delete;
  TScopedDC& operator=(const TScopedDC&) = delete;
  HDC Handle() const { return FHandle; }

private:
  HDC FHandle;
};

// A bitmap selected into a memory context for the span of one operation.
class TSelection {
public:
  explicit TSelection(HBITMAP Bitmap) : FPrevious(SelectObject(FDC.Handle(), Bitmap)) {}
  ~TSelection() {
    if (FPrevious != nullptr)
      SelectObject(FDC.Handle(), FPrevious);
  }
  TSelection(const TSelection&) = delete;
  TSelection& operator=(const TSelection&) = delete;
  HDC Handle() const { return FDC.Handle(); }

private:
  TScopedDC FDC;
  HGDIOBJ FPrevious;
};

// A new bitmap that is deleted unless it is handed on.
class TNewBitmap {
public:
  explicit TNewBitmap(HBITMAP Handle) : FHandle(Handle) {}
  ~TNewBitmap() {
    if (FHandle != nullptr)
      DeleteObject(FHandle);
  }
  TNewBitmap(const TNewBitmap&) = delete;
  TNewBitmap& operator=(const TNewBitmap&) = delete;
  HBITMAP Get() const { return FHandle; }
  HBITMAP Release() { return std::exchange(FHandle, nullptr); }

private:
  HBITMAP FHandle;
};

HBITMAP Checked(HBITMAP Handle) {
  if (Handle == nullptr)
    throw EOutOfMemory("Out of system resources: the bitmap cannot be created");
  return Handle;
}

int BitCountOf(TPixelFormat Format) {
  switch (Format) {
  case pf1bit:
    return 1;
  case pf4bit:
    return 4;
  case pf8bit:
    return 8;
  case pf16bit:
    return 16;
  case pf24bit:
    return 24;
  default:
    return 32;
  }
}

BITMAPINFO DIBInfo(int32_t Width, int32_t Height, int BitCount) {
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  Info.bmiHeader.biWidth = Width;
  Info.bmiHeader.biHeight = Height;
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = static_cast<WORD>(BitCount);
  Info.bmiHeader.biCompression = BI_RGB;
  return Info;
}

// An empty bitmap of the given format and size: device formats as the screen makes them.
HBITMAP NewBitmapOfFormat(TPixelFormat Format, int32_t Width, int32_t Height,
                          const std::vector<RGBQUAD>& Colors) {
  if (Format == pfDevice) {
    HDC Screen = GetDC(nullptr);
    HBITMAP Bitmap = CreateCompatibleBitmap(Screen, Width, Height);
    ReleaseDC(nullptr, Screen);
    return Checked(Bitmap);
  }
  BITMAPINFO Info = DIBInfo(Width, Height, BitCountOf(Format));
  std::copy_n(Colors.begin(), std::min<size_t>(Colors.size(), 256), Info.bmiColors);
  void* Bits = nullptr;
  return Checked(CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0));
}

// Reads Source's pixels into Target, a DIB section, in Target's format; indexed targets take the
// table GetDIBits hands out.
void ReadInto(HBITMAP Source, HBITMAP Target) {
  TBitmapObject& Section = *BitmapOf(Target);
  BITMAPINFO Info = DIBInfo(Section.Width, Section.Height, Section.BitCount);
  TScopedDC DC;
  if (GetDIBits(DC.Handle(), Source, 0, static_cast<UINT>(Section.Height), Section.Bits, &Info,
                DIB_RGB_COLORS) == 0)
    throw EInvalidGraphic("The bitmap's pixels cannot be read");
  if (Section.BitCount <= 8)
    Section.Colors.assign(Info.bmiColors, Info.bmiColors + (1 << Section.BitCount));
}

void CopyTopLeft(HBITMAP From, HBITMAP To, int32_t Width, int32_t Height) {
  TSelection Source(From);
  TSelection Target(To);
  BitBlt(Target.Handle(), 0, 0, Width, Height, Source.Handle(), 0, 0, SRCCOPY);
}

// A truecolour bitmap made from an indexed one remembers the indexed table, so that going back
// to an indexed format restores the very same colours.
void KeepTable(HBITMAP From, HBITMAP To) {
  const TBitmapObject& Source = *BitmapOf(From);
  TBitmapObject& Target = *BitmapOf(To);
  if (Target.BitCount > 8 && Target.Colors.empty()) {
    Target.Colors = Source.Colors;
    Target.ColorsBitCount = Source.ColorsBitCount;
  }
}

void FillWhite(HBITMAP Bitmap, int32_t Width, int32_t Height) {
  TSelection Target(Bitmap);
  FillSolid(Target.Handle(), 0, 0, Width, Height, RGB(255, 255, 255));
}

TBitmapFileImage FileImageOf(HBITMAP Handle) {
  const TBitmapObject& Bitmap = *BitmapOf(Handle);
  TBitmapFileImage Image;
  Image.Width = Bitmap.Width;
  Image.Height = Bitmap.Height;
  const bool Indexed = Bitmap.DIBSection && Bitmap.BitCount <= 8;
  Image.BitCount = Bitmap.Monochrome ? 1 : Indexed ? Bitmap.BitCount : 24;
  Image.Rows.resize(static_cast<size_t>(Image.RowBytes()) * static_cast<size_t>(Image.Height));
  BITMAPINFO Info = DIBInfo(Image.Width, -Image.Height, Image.BitCount);
  TScopedDC DC;
  GetDIBits(DC.Handle(), Handle, 0, static_cast<UINT>(Image.Height), Image.Rows.data(), &Info,
            DIB_RGB_COLORS);
  if (Image.BitCount <= 8)
    Image.Colors.assign(Info.bmiColors, Info.bmiColors + (1 << Image.BitCount));
  return Image;
}

HBITMAP SectionFromFile(const TBitmapFileImage& Image) {
  BITMAPINFO Info = DIBInfo(Image.Width, Image.Height, Image.BitCount);
  std::copy(Image.Colors.begin(), Image.Colors.end(), Info.bmiColors);
  void* Bits = nullptr;
  HBITMAP Handle = Checked(CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0));
  const TSurface Section = BitmapOf(Handle)->Surface();
  const auto RowBytes = static_cast<size_t>(Image.RowBytes());
  for (int32_t Y = 0; Y < Image.Height; ++Y)
    std::memcpy(Section.Row(Y), Image.Rows.data() + RowBytes * static_cast<size_t>(Y), RowBytes);
  return Handle;
}

} // namespace

const TGraphicClass TBitmap::ClassInfo{
    "TBitmap", []() -> std::unique_ptr<TGraphic> { return std::make_unique<TBitmap>(); }};

HDC TBitmapCanvas::GetHandle() {
  if (FHandle != nullptr)
    return FHandle;
  FHandle = CreateCompatibleDC(nullptr);
  if (FHandle == nullptr)
    throw EOutOfMemory("Out of system resources: no device context");
  if (FOwner.GetHandle() != nullptr)
    FPrevious = SelectObject(FHandle, FOwner.GetHandle());
  return FHandle;
}

void TBitmapCanvas::FreeContext() {
  if (FHandle == nullptr)
    return;
  if (FPrevious != nullptr)
    SelectObject(FHandle, FPrevious);
  DeleteDC(FHandle);
  FHandle = nullptr;
  FPrevious = nullptr;
}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  SetHandle(nullptr);
}

void TBitmap::SetHandle(HBITMAP Handle) {
  FCanvas.FreeContext();
  FEmptyWidth = 0;
  FEmptyHeight = 0;
  if (FHandle != nullptr && FHandle != Handle)
    DeleteObject(FHandle);
  FHandle = Handle;
}

HBITMAP TBitmap::ReleaseHandle() {
  FCanvas.FreeContext();
  FEmptyWidth = 0;
  FEmptyHeight = 0;
  HBITMAP Handle = FHandle;
  FHandle = nullptr;
  return Handle;
}

int32_t TBitmap::GetWidth() {
  const TBitmapObject* Bitmap = BitmapOf(FHandle);
  return Bitmap != nullptr ? Bitmap->Width : FEmptyWidth;
}

int32_t TBitmap::GetHeight() {
  const TBitmapObject* Bitmap = BitmapOf(FHandle);
  return Bitmap != nullptr ? Bitmap->Height : FEmptyHeight;
}

void TBitmap::SetWidth(int32_t Value) {
  Resize(Value, GetHeight());
}

void TBitmap::SetHeight(int32_t Value) {
  Resize(GetWidth(), Value);
}

// The old pixels stay at the top left; what is new is white.
void TBitmap::Resize(int32_t Width, int32_t Height) {
  if (Width == GetWidth() && Height == GetHeight() && FHandle != nullptr)
    return;
  if (Width <= 0 || Height <= 0) {
    // Without pixels the bitmap remembers the size asked for, so that width and height can be
    // set one after the other.
    FPendingFormat = GetPixelFormat();
    SetHandle(nullptr);
    FEmptyWidth = std::max(Width, 0);
    FEmptyHeight = std::max(Height, 0);
    return;
  }
  const TBitmapObject* Old = BitmapOf(FHandle);
  TNewBitmap Resized(NewBitmapOfFormat(GetPixelFormat(), Width, Height,
                                       Old != nullptr ? Old->Colors : std::vector<RGBQUAD>{}));
  FCanvas.FreeContext();
  FillWhite(Resized.Get(), Width, Height);
  if (FHandle != nullptr)
    CopyTopLeft(FHandle, Resized.Get(), Width, Height);
  SetHandle(Resized.Release());
}

TPixelFormat TBitmap::GetPixelFormat() const {
  const TBitmapObject* Bitmap = BitmapOf(FHandle);
  if (Bitmap == nullptr)
    return FPendingFormat;
  if (Bitmap->Monochrome)
    return pf1bit;
  if (!Bitmap->DIBSection)
    return pfDevice;
  switch (Bitmap->BitCount) {
  case 1:
    return pf1bit;
  case 4:
    return pf4bit;
  case 8:
    return pf8bit;
  case 16:
    return pf16bit;
  case 24:
    return pf24bit;
  default:
    return pf32bit;
  }
}

void TBitmap::SetPixelFormat(TPixelFormat Format) {
  if (Format == GetPixelFormat())
    return;
  if (FHandle == nullptr) {
    FPendingFormat = Format;
    return;
  }
  const int32_t Width = GetWidth();
  const int32_t Height = GetHeight();
  FCanvas.FreeContext();
  TNewBitmap Converted(NewBitmapOfFormat(Format, Width, Height, {}));
  if (Format == pfDevice)
    CopyTopLeft(FHandle, Converted.Get(), Width, Height);
  else
    ReadInto(FHandle, Converted.Get());
  KeepTable(FHandle, Converted.Get());
  SetHandle(Converted.Release());
}

COLORREF TBitmap::GetTransparentColor() {
  if (FTransparentColorSet)
    return ColorToRGB(FTransparentColor);
  if (FHandle == nullptr)
    return RGB(0, 0, 0);
  return FCanvas.GetPixel(0, GetHeight() - 1);
}

void TBitmap::SetTransparentColor(TColor Color) {
  FTransparentColor = Color;
  FTransparentColorSet = true;
}

void TBitmap::Draw(TCanvas& Canvas, const TRect& Rect) {
  if (FHandle == nullptr)
    return;
  HDC Source = FCanvas.GetHandle();
  if (GetTransparent())
    TransparentBlt(Canvas.GetHandle(), Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), Source, 0,
                   0, GetWidth(), GetHeight(), GetTransparentColor());
  else
    StretchBlt(Canvas.GetHandle(), Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), Source, 0, 0,
               GetWidth(), GetHeight(), SRCCOPY);
}

void TBitmap::Assign(TPersistent& Source) {
  auto* Other = dynamic_cast<TBitmap*>(&Source);
  if (Other == nullptr) {
    TGraphic::Assign(Source);
    return;
  }
  if (Other == this)
    return;
  SetHandle(Other->FHandle != nullptr ? Checked(DuplicateBitmap(Other->FHandle)) : nullptr);
  FPendingFormat = Other->FPendingFormat;
  FTransparentColor = Other->FTransparentColor;
  FTransparentColorSet = Other->FTransparentColorSet;
  SetTransparent(Other->GetTransparent());
}

void TBitmap::LoadFromStream(TStream& Stream) {
  SetHandle(SectionFromFile(ReadBitmapFile(Stream)));
}

void TBitmap::SaveToStream(TStream& Stream) {
  if (FHandle == nullptr)
    throw EInvalidGraphic("An empty bitmap cannot be saved");
  WriteBitmapFile(Stream, FileImageOf(FHandle));
}

void TBitmap::SaveToClipboardFormat(uint16_t& Format, HANDLE& Data, HPALETTE& Palette) {
  if (FHandle == nullptr)
    throw EInvalidGraphic("An empty bitmap cannot go to the clipboard");
  Format = CF_BITMAP;
  Data = Checked(DuplicateBitmap(FHandle));
  Palette = nullptr;
}

void TBitmap::LoadFromClipboardFormat(uint16_t Format, HANDLE Data, HPALETTE) {
  const HBITMAP Handle = static_cast<HBITMAP>(Data);
  if (Format != CF_BITMAP || BitmapOf(Handle) == nullptr)
    throw EInvalidGraphic("Unsupported clipboard format");
  SetHandle(Checked(DuplicateBitmap(Handle)));
}
