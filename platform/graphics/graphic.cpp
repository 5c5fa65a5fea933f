// Canvases, the graphic base class's file operations, and pictures with their registry.
#include "platform/graphics/gdiobjects.h"
#include "platform/graphics/graphics.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

struct TFileFormat {
  std::string Extension; // lower case, without the dot
  std::string Description;
  const TGraphicClass* Class;
};

std::string LowerCase(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(),
                 [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
  return Text;
}

// Bitmaps are known from the start, as on the platform.
std::vector<TFileFormat>& FileFormats() {
  static std::vector<TFileFormat> Formats{{"bmp", "Bitmaps", &TBitmap::ClassInfo}};
  return Formats;
}

std::string ExtensionOf(const std::string& FileName) {
  const size_t Dot = FileName.find_last_of('.');
  const size_t Slash = FileName.find_last_of('/');
  if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash))
    return {};
  return LowerCase(FileName.substr(Dot + 1));
}

} // namespace

void TCanvas::Draw(int X, int Y, TGraphic& Graphic) {
  Graphic.Draw(*this, {X, Y, X + Graphic.GetWidth(), Y + Graphic.GetHeight()});
}

void TCanvas::StretchDraw(const TRect& Rect, TGraphic& Graphic) {
  Graphic.Draw(*this, Rect);
}

void TCanvas::FillRect(const TRect& Rect, TColor Color) {
  FillSolid(GetHandle(), Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), ColorToRGB(Color));
}

COLORREF TCanvas::GetPixel(int X, int Y) {
  return ::GetPixel(GetHandle(), X, Y);
}

void TCanvas::SetPixel(int X, int Y, TColor Color) {
  ::SetPixel(GetHandle(), X, Y, ColorToRGB(Color));
}

void TGraphic::LoadFromClipboardFormat(uint16_t, HANDLE, HPALETTE) {
  throw EInvalidGraphic("A " + ClassName() + " cannot be taken from the clipboard");
}

void TGraphic::SaveToClipboardFormat(uint16_t&, HANDLE&, HPALETTE&) {
  throw EInvalidGraphic("A " + ClassName() + " cannot be put on the clipboard");
}

void TGraphic::LoadFromFile(const std::string& FileName) {
  TFileStream Stream(FileName, fmOpenRead);
  LoadFromStream(Stream);
}

void TGraphic::SaveToFile(const std::string& FileName) {
  TFileStream Stream(FileName, fmCreate);
  SaveToStream(Stream);
}

void TPicture::RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                  const TGraphicClass& Class) {
  const std::string Key = LowerCase(Extension);
  std::erase_if(FileFormats(), [&](const TFileFormat& Format) { return Format.Extension == Key; });
  FileFormats().push_back({Key, Description, &Class});
}

void TPicture::UnregisterGraphicClass(const TGraphicClass& Class) {
  std::erase_if(FileFormats(), [&](const TFileFormat& Format) { return Format.Class == &Class; });
}

const TGraphicClass* TPicture::GraphicClassForFile(const std::string& FileName) {
  const std::string Extension = ExtensionOf(FileName);
  for (const TFileFormat& Format : FileFormats())
    if (Format.Extension == Extension)
      return Format.Class;
  return nullptr;
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> Graphic) {
  FGraphic = std::move(Graphic);
  Changed();
}

TBitmap& TPicture::Bitmap() {
  if (dynamic_cast<TBitmap*>(FGraphic.get()) == nullptr)
    SetGraphic(std::make_unique<TBitmap>());
  return static_cast<TBitmap&>(*FGraphic);
}

void TPicture::LoadFromFile(const std::string& FileName) {
  const TGraphicClass* Class = GraphicClassForFile(FileName);
  if (Class == nullptr)
    throw EInvalidGraphic("Unknown picture file extension (." + ExtensionOf(FileName) + ")");
  std::unique_ptr<TGraphic> Graphic = Class->Create();
  Graphic->LoadFromFile(FileName);
  SetGraphic(std::move(Graphic));
}

void TPicture::Changed() {
  if (OnChange)
    OnChange();
}
