// The platform's picture framework: graphics, bitmaps, canvases, pictures and colours.
#pragma once

#include "platform/core/classes.h"
#include "platform/graphics/gdi.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

// A picture that cannot be read, written or converted.
class EInvalidGraphic : public Exception {
public:
  using Exception::Exception;
};

// Platform colours: plain red, green, blue values, or system colours (top bit set, the index of
// the system colour in the low byte), which ColorToRGB resolves.
using TColor = int32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clWindowText = static_cast<TColor>(0x80000008u);
constexpr TColor clBtnFace = static_cast<TColor>(0x8000000Fu);
constexpr TColor clWindow = static_cast<TColor>(0x80000005u);

COLORREF ColorToRGB(TColor Color);

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

class TGraphic;

// A drawing surface: a device context and what can be done on it.
class TCanvas {
public:
  explicit TCanvas(HDC Handle = nullptr) : FHandle(Handle) {}
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  virtual ~TCanvas() = default;

  virtual HDC GetHandle() { return FHandle; }
  void SetHandle(HDC Handle) { FHandle = Handle; }

  // The graphic at its own size with its top-left corner at (X, Y), or stretched to Rect.
  void Draw(int X, int Y, TGraphic& Graphic);
  void StretchDraw(const TRect& Rect, TGraphic& Graphic);
  void FillRect(const TRect& Rect, TColor Color);
  // CLR_INVALID outside the surface.
  COLORREF GetPixel(int X, int Y);
  void SetPixel(int X, int Y, TColor Color);

protected:
  HDC FHandle;
};

// The clipboard format of a bitmap: its data handle is a bitmap handle the receiver owns.
constexpr uint16_t CF_BITMAP = 2;

// A class reference for graphics: name and virtual constructor.
struct TGraphicClass {
  std::string_view ClassName;
  std::unique_ptr<TGraphic> (*Create)();
};

// The base of everything a picture can hold. The virtual operations are in the platform's
// order; LoadFromFile and SaveToFile go through the stream operations. A graphic that does not
// draw itself draws nothing, and one without a clipboard form refuses the clipboard.
class TGraphic : public TPersistent {
public:
  virtual void Draw(TCanvas&, const TRect&) {}
  virtual bool GetEmpty() = 0;
  virtual int32_t GetHeight() = 0;
  virtual HPALETTE GetPalette() { return nullptr; }
  virtual bool GetTransparent() { return FTransparent; }
  virtual int32_t GetWidth() = 0;
  virtual void SetHeight(int32_t Value) = 0;
  virtual void SetPalette(HPALETTE) {}
  virtual void SetTransparent(bool Value) { FTransparent = Value; }
  virtual void SetWidth(int32_t Value) = 0;
  virtual void LoadFromStream(TStream& Stream) = 0;
  virtual void SaveToStream(TStream& Stream) = 0;
  virtual void LoadFromClipboardFormat(uint16_t Format, HANDLE Data, HPALETTE Palette);
  virtual void SaveToClipboardFormat(uint16_t& Format, HANDLE& Data, HPALETTE& Palette);

  void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName);

private:
  bool FTransparent = false;
};

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit };

// Whether a bitmap's transparent colour follows its bottom-left pixel or was set.
enum TTransparentMode { tmAuto, tmFixed };

class TBitmap;

// A bitmap's canvas: a memory context that holds the bitmap while it is drawn on.
class TBitmapCanvas : public TCanvas {
public:
  explicit TBitmapCanvas(TBitmap& Owner) : FOwner(Owner) {}
  ~TBitmapCanvas() override { FreeContext(); }
  HDC GetHandle() override;
  // Lets the bitmap go, so that its handle can change or be deleted.
  void FreeContext();

private:
  TBitmap& FOwner;
  HGDIOBJ FPrevious = nullptr;
};

// The platform bitmap. A new one is a 32-bit device bitmap until its pixel format is set, and
// starts white when given a size. Until TransparentColor is set, it is the colour of the bottom
// left pixel, as on the platform.
class TBitmap : public TGraphic {
public:
  static const TGraphicClass ClassInfo;

  TBitmap();
  ~TBitmap() override;

  std::string ClassName() const override { return "TBitmap"; }
  void Assign(TPersistent& Source) override;

  void Draw(TCanvas& Canvas, const TRect& Rect) override;
  bool GetEmpty() override { return FHandle == nullptr; }
  int32_t GetHeight() override;
  int32_t GetWidth() override;
  void SetHeight(int32_t Value) override;
  void SetWidth(int32_t Value) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  void LoadFromClipboardFormat(uint16_t Format, HANDLE Data, HPALETTE Palette) override;
  void SaveToClipboardFormat(uint16_t& Format, HANDLE& Data, HPALETTE& Palette) override;

  HBITMAP GetHandle() const { return FHandle; }
  // Takes ownership of Handle; the previous bitmap is deleted.
  void SetHandle(HBITMAP Handle);
  // Gives up ownership: the caller deletes the handle returned.
  HBITMAP ReleaseHandle();
  TPixelFormat GetPixelFormat() const;
  // Converts the pixels, keeping their colours exactly where the new format can hold them.
  void SetPixelFormat(TPixelFormat Format);
  COLORREF GetTransparentColor();
  void SetTransparentColor(TColor Color);
  TTransparentMode GetTransparentMode() const { return FTransparentColorSet ? tmFixed : tmAuto; }
  void SetTransparentMode(TTransparentMode Mode) { FTransparentColorSet = Mode == tmFixed; }
  TCanvas& Canvas() { return FCanvas; }

private:
  void Resize(int32_t Width, int32_t Height);

  HBITMAP FHandle = nullptr;
  TPixelFormat FPendingFormat = pfDevice; // the format a bitmap without pixels will get
  int32_t FEmptyWidth = 0;                // the size asked for while there are no pixels
  int32_t FEmptyHeight = 0;
  TBitmapCanvas FCanvas{*this};
  TColor FTransparentColor = clWhite;
  bool FTransparentColorSet = false;
};

// What a picture control shows: any graphic, and the registry of graphic classes by file
// extension.
class TPicture : public TPersistent {
public:
  std::string ClassName() const override { return "TPicture"; }

  // The extension is given without the dot and matched without regard to case.
  static void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                 const TGraphicClass& Class);
  static void UnregisterGraphicClass(const TGraphicClass& Class);
  // The class registered for a file name's extension, or none.
  static const TGraphicClass* GraphicClassForFile(const std::string& FileName);

  TGraphic* Graphic() { return FGraphic.get(); }
  void SetGraphic(std::unique_ptr<TGraphic> Graphic);
  // The picture's bitmap; a picture holding anything else is given a new, empty one.
  TBitmap& Bitmap();
  // Loads through the class registered for the file's extension; EInvalidGraphic without one.
  void LoadFromFile(const std::string& FileName);

  std::function<void()> OnChange;

private:
  void Changed();

  std::unique_ptr<TGraphic> FGraphic;
};
