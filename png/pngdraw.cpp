// Conversion to the platform bitmap and drawing: opaque, colour-keyed and alpha-blended.
#include "png/pngblend.h"
#include "png/pnggdi.h"
#include "png/pngimage.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

BITMAPINFO BlendInfoFor(const TChunkIHDR& Header) {
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  Info.bmiHeader.biWidth = static_cast<LONG>(Header.Width);
  Info.bmiHeader.biHeight = -static_cast<LONG>(Header.Height);
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = 32;
  Info.bmiHeader.biCompression = BI_RGB;
  return Info;
}

uint32_t IndexAt(const uint8_t* Row, int BitCount, uint32_t X) {
  switch (BitCount) {
  case 1:
    return (Row[X / 8] >> (7 - X % 8)) & 1u;
  case 4:
    return X % 2 == 0 ? Row[X / 2] >> 4 : Row[X / 2] & 0x0Fu;
  default:
    return Row[X];
  }
}

void BlendPixel(uint8_t* Under, uint8_t Blue, uint8_t Green, uint8_t Red, uint8_t Alpha) {
  Under[0] = BlendChannel(Blue, Under[0], Alpha);
  Under[1] = BlendChannel(Green, Under[1], Alpha);
  Under[2] = BlendChannel(Red, Under[2], Alpha);
}

// A colour none of the first Count entries has.
COLORREF UnusedColor(const RGBQUAD* Colors, int Count) {
  for (COLORREF Candidate = 1;; ++Candidate)
    if (std::none_of(Colors, Colors + Count,
                     [&](const RGBQUAD& Entry) { return ColorOfEntry(Entry) == Candidate; }))
      return Candidate;
}

// A truecolour image drawn onto a 32-bit DIB section blends straight into its rows, clipped to
// it: no copy of the canvas is made. Other targets go through a buffer of the image's size.
bool BlendOntoSection(const TChunkIHDR& H, HDC DC, const TRect& Rect) {
  BITMAP Target{};
  const HGDIOBJ Selected = GetCurrentObject(DC, OBJ_BITMAP);
  if (Selected == nullptr || GetObjectA(Selected, sizeof Target, &Target) == 0 ||
      Target.bmBits == nullptr || Target.bmBitsPixel != 32)
    return false;
  const int64_t TargetHeight = std::abs(int64_t{Target.bmHeight});
  const int64_t Stride = int64_t{Target.bmWidth} * 4;
  const int64_t Left = std::max<int64_t>(0, -int64_t{Rect.Left});
  const int64_t Right = std::min<int64_t>(H.Width, int64_t{Target.bmWidth} - Rect.Left);
  const int64_t Top = std::max<int64_t>(0, -int64_t{Rect.Top});
  const int64_t Bottom = std::min<int64_t>(H.Height, TargetHeight - Rect.Top);
  auto* Bits = static_cast<uint8_t*>(Target.bmBits);
  for (int64_t Y = Top; Y < Bottom; ++Y) {
    const int64_t TargetY = Rect.Top + Y;
    const int64_t RowIndex = Target.bmHeight < 0 ? TargetY : TargetHeight - 1 - TargetY;
    uint8_t* Under = Bits + RowIndex * Stride + (Rect.Left + Left) * 4;
    const auto Row = static_cast<uint32_t>(Y);
    BlendTrueColourRow(Under, H.ImageRow(Row) + 3 * Left,
                       H.AlphaPlane != nullptr ? H.AlphaRow(Row) + Left : nullptr,
                       static_cast<uint32_t>(std::max<int64_t>(0, Right - Left)));
  }
  return true;
}

} // namespace

bool TPNGObject::GetTransparent() {
  return TransparencyKind() != trOpaque;
}

void TPNGObject::KeyedDrawingInfo(BITMAPINFO& Info, COLORREF& Key) const {
  const TChunkIHDR& H = Header();
  Info = H.DibInfo;
  Key = ImageKeyColor();
  const auto* Transparency = ChunkList.ItemOf<TChunktRNS>();
  if (!H.PaletteMode || Transparency == nullptr)
    return;
  const int Entries = 1 << H.BitCount();
  const int Index = Transparency->KeyIndex();
  if (Index < 0 || Index >= Entries)
    return;
  const bool Shared =
      std::count_if(Info.bmiColors, Info.bmiColors + Entries, [&](const RGBQUAD& E) {
        return ColorOfEntry(E) == ColorOfEntry(Info.bmiColors[Index]);
      }) > 1;
  if (!Shared)
    return;
  Key = UnusedColor(Info.bmiColors, Entries);
  Info.bmiColors[Index] = {GetBValue(Key), GetGValue(Key), GetRValue(Key), 0};
}

void TPNGObject::BlendOver(uint8_t* Buffer) const {
  const TChunkIHDR& H = Header();
  const auto* Transparency = ChunkList.ItemOf<TChunktRNS>();
  const auto* Palette = ChunkList.ItemOf<TChunkPLTE>();
  const int Count = H.BitCount();
  // The header's fields are public: a colour type changed after the image memory was made has
  // no alpha plane to blend with.
  if ((Count != 24 && Count != 1 && Count != 4 && Count != 8) || !H.ImageMemoryUsable())
    return;
  for (uint32_t Y = 0; Y < H.Height; ++Y) {
    uint8_t* Under = Buffer + size_t{H.Width} * 4 * Y;
    const uint8_t* Row = H.ImageRow(Y);
    const uint8_t* Alpha = H.HasAlpha() ? H.AlphaRow(Y) : nullptr;
    if (Count == 24) {
      BlendTrueColourRow(Under, Row, Alpha, H.Width);
      continue;
    }
    for (uint32_t X = 0; X < H.Width; ++X, Under += 4) {
      const uint32_t Index = IndexAt(Row, Count, X);
      if (H.ColorType == COLOR_GRAYSCALEALPHA) {
        const RGBQUAD& Grey = H.DibInfo.bmiColors[Index];
        BlendPixel(Under, Grey.rgbBlue, Grey.rgbGreen, Grey.rgbRed, Alpha[X]);
        continue;
      }
      if (Palette == nullptr)
        TPNGObject::RaisePngError<EPngError>(PngMessage(MsgNoSuchPaletteEntry));
      const uint32_t Entry = Palette->GetEntry(static_cast<uint8_t>(Index));
      const uint8_t A = Transparency != nullptr ? Transparency->AlphaTable[Index] : 255;
      BlendPixel(Under, static_cast<uint8_t>(Entry), static_cast<uint8_t>(Entry >> 8),
                 static_cast<uint8_t>(Entry >> 16), A);
    }
  }
}

void TPNGObject::DrawAlphaBlended(HDC DC, const TRect& Rect) const {
  const TChunkIHDR& H = Header();
  if (H.BitCount() == 24 && BlendOntoSection(H, DC, Rect))
    return;
  const auto Width = static_cast<int>(H.Width);
  const auto Height = static_cast<int>(H.Height);
  TOwnedDC Memory(CreateCompatibleDC(nullptr));
  const BITMAPINFO Info = BlendInfoFor(H);
  void* Bits = nullptr;
  TOwnedBitmap Buffer(CreateDIBSection(Memory.Get(), &Info, DIB_RGB_COLORS, &Bits, nullptr, 0));
  if (Bits == nullptr)
    RaiseOutOfResources();
  TSelection Selected(Memory.Get(), Buffer.Get());
  StretchBlt(Memory.Get(), 0, 0, Width, Height, DC, Rect.Left, Rect.Top, Width, Height, SRCCOPY);
  BlendOver(static_cast<uint8_t*>(Bits));
  StretchBlt(DC, Rect.Left, Rect.Top, Width, Height, Memory.Get(), 0, 0, Width, Height, SRCCOPY);
}

void DrawColorKeyed(HDC DC, const void* Bits, const BITMAPINFOHEADER& InfoHeader,
                    const BITMAPINFO& Info, const TRect& Rect, COLORREF KeyColor) {
  const int Width = Rect.Width();
  const int Height = Rect.Height();
  if (Width <= 0 || Height <= 0)
    return;
  const int SourceWidth = std::abs(InfoHeader.biWidth);
  const int SourceHeight = std::abs(InfoHeader.biHeight);
  TOwnedDC Source(CreateCompatibleDC(DC));
  TOwnedBitmap SourceBitmap(CreateDIBitmap(DC, &InfoHeader, CBM_INIT, Bits, &Info, DIB_RGB_COLORS));
  TSelection SourceSelected(Source.Get(), SourceBitmap.Get());
  TOwnedDC Inverse(CreateCompatibleDC(DC));
  TOwnedDC Mask(CreateCompatibleDC(DC));
  TOwnedDC Work(CreateCompatibleDC(DC));
  TOwnedBitmap InverseBitmap(CreateBitmap(Width, Height, 1, 1, nullptr));
  TOwnedBitmap MaskBitmap(CreateBitmap(Width, Height, 1, 1, nullptr));
  TOwnedBitmap WorkBitmap(CreateCompatibleBitmap(DC, Width, Height));
  TSelection InverseSelected(Inverse.Get(), InverseBitmap.Get());
  TSelection MaskSelected(Mask.Get(), MaskBitmap.Get());
  TSelection WorkSelected(Work.Get(), WorkBitmap.Get());

  // The key becomes 1 in the mask; the background survives under it, the source elsewhere.
  const COLORREF OldBackground = SetBkColor(Source.Get(), KeyColor);
  StretchBlt(Mask.Get(), 0, 0, Width, Height, Source.Get(), 0, 0, SourceWidth, SourceHeight,
             SRCCOPY);
  SetBkColor(Source.Get(), OldBackground);
  BitBlt(Inverse.Get(), 0, 0, Width, Height, Mask.Get(), 0, 0, NOTSRCCOPY);
  BitBlt(Work.Get(), 0, 0, Width, Height, DC, Rect.Left, Rect.Top, SRCCOPY);
  BitBlt(Work.Get(), 0, 0, Width, Height, Mask.Get(), 0, 0, SRCAND);
  StretchBlt(Source.Get(), 0, 0, SourceWidth, SourceHeight, Inverse.Get(), 0, 0, Width, Height,
             SRCAND);
  StretchBlt(Work.Get(), 0, 0, Width, Height, Source.Get(), 0, 0, SourceWidth, SourceHeight,
             SRCPAINT);
  BitBlt(DC, Rect.Left, Rect.Top, Width, Height, Work.Get(), 0, 0, SRCCOPY);
}

void TPNGObject::Draw(TCanvas& Canvas, const TRect& Rect) {
  if (!HasHeader() || !Header().ImageMemoryUsable() || Header().PixelBase == nullptr)
    return;
  const TChunkIHDR& H = Header();
  switch (TransparencyKind()) {
  case trColorKey: {
    BITMAPINFO Info{};
    COLORREF Key = 0;
    KeyedDrawingInfo(Info, Key);
    DrawColorKeyed(Canvas.GetHandle(), H.PixelBase, Info.bmiHeader, Info, Rect,
                   ColorToRGB(static_cast<TColor>(Key)));
    break;
  }
  case trAlpha:
    DrawAlphaBlended(Canvas.GetHandle(), Rect);
    break;
  default:
    StretchDIBits(Canvas.GetHandle(), Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), 0, 0,
                  static_cast<int>(H.Width), static_cast<int>(H.Height), H.PixelBase, &H.DibInfo,
                  DIB_RGB_COLORS, SRCCOPY);
  }
}

void TPNGObject::AssignToBitmap(TBitmap& Dest, TBitmapUse Use) const {
  const TChunkIHDR& H = Header();
  const bool Keyed = Use == buDrawing && TransparencyKind() == trColorKey;
  BITMAPINFO Info = H.DibInfo;
  COLORREF Key = 0;
  if (Keyed)
    KeyedDrawingInfo(Info, Key);
  if (H.Width == 0 || H.Height == 0) {
    Dest.SetHandle(nullptr);
    return;
  }
  {
    TScreenDC Screen;
    HBITMAP Converted =
        CreateDIBitmap(Screen.Get(), &Info.bmiHeader, CBM_INIT, H.PixelBase, &Info, DIB_RGB_COLORS);
    if (Converted == nullptr)
      RaiseOutOfResources();
    Dest.SetHandle(Converted);
  }
  switch (H.BitCount()) {
  case 1:
    Dest.SetPixelFormat(pf1bit);
    break;
  case 4:
    Dest.SetPixelFormat(pf4bit);
    break;
  case 8:
    Dest.SetPixelFormat(pf8bit);
    break;
  case 24:
    Dest.SetPixelFormat(pf24bit);
    break;
  default:
    break;
  }
  if (Keyed) {
    Dest.SetTransparentColor(static_cast<TColor>(Key));
    Dest.SetTransparent(true);
  }
}
