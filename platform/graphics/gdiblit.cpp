// Blits with the four raster operations, nearest-pixel stretching, clipping, and the colour and
// monochrome conversion rules.
#include "platform/graphics/gdiobjects.h"

#include <algorithm>
#include <cstring>

namespace {

struct TRect {
  int X, Y, Width, Height;
};

// What the source pixels are, seen from the destination: the contexts' colours take part when
// monochrome meets colour.
struct TBlitSource {
  TSurface Surface;
  COLORREF Background; // colour -> monochrome: this colour gives 1
};

struct TBlitTarget {
  TSurface Surface;
  COLORREF Background; // monochrome -> colour: 1 gives this colour
  COLORREF Text;       // ... and 0 this one
};

constexpr COLORREF ColorBits = 0x00FFFFFFu;

uint32_t SourceValue(const TBlitSource& Source, uint32_t Raw, const TBlitTarget& Target) {
  const TSurface& From = Source.Surface;
  const TSurface& To = Target.Surface;
  if (From.Monochrome && To.Monochrome)
    return Raw;
  if (From.Monochrome)
    return To.RawOf(Raw != 0 ? Target.Background : Target.Text);
  if (To.Monochrome)
    return (From.ColorOf(Raw) & ColorBits) == (Source.Background & ColorBits) ? 1 : 0;
  return To.RawOf(From.ColorOf(Raw));
}

bool KnownRop(DWORD Rop) {
  return Rop == SRCCOPY || Rop == NOTSRCCOPY || Rop == SRCAND || Rop == SRCPAINT;
}

uint32_t ApplyRop(DWORD Rop, uint32_t Source, uint32_t Dest, uint32_t Mask) {
  switch (Rop) {
  case NOTSRCCOPY:
    return ~Source & Mask;
  case SRCAND:
    return Dest & Source;
  case SRCPAINT:
    return Dest | Source;
  default:
    return Source;
  }
}

// Destination pixel i of n takes source pixel (2i + 1) * sourceN / (2n): the source pixel under
// the destination pixel's centre.
int64_t SourceIndex(int64_t i, int64_t DestCount, int64_t SourceCount) {
  return (2 * i + 1) * SourceCount / (2 * DestCount);
}

// Row copies of the same truecolour format, unstretched, are a plain move.
bool CopyRowsDirectly(const TBlitSource& Source, const TBlitTarget& Target, const TRect& To,
                      const TRect& From) {
  const TSurface& S = Source.Surface;
  const TSurface& D = Target.Surface;
  if (S.BitCount != D.BitCount || S.BitCount < 16 || To.Width != From.Width ||
      To.Height != From.Height || !D.Contains(To.X, To.Y) ||
      !D.Contains(int64_t{To.X} + To.Width - 1, int64_t{To.Y} + To.Height - 1) ||
      !S.Contains(From.X, From.Y) ||
      !S.Contains(int64_t{From.X} + From.Width - 1, int64_t{From.Y} + From.Height - 1))
    return false;
  const int Bytes = S.BitCount / 8;
  for (int Line = 0; Line < To.Height; ++Line)
    std::memmove(D.Row(To.Y + Line) + int64_t{To.X} * Bytes,
                 S.Row(From.Y + Line) + int64_t{From.X} * Bytes,
                 static_cast<size_t>(To.Width) * static_cast<size_t>(Bytes));
  return true;
}

// Source colours equal to Key are not drawn; NoKey draws every pixel.
constexpr uint64_t NoKey = ~uint64_t{0};

BOOL Blit(const TBlitTarget& Target, const TRect& To, const TBlitSource& Source, const TRect& From,
          DWORD Rop, uint64_t Key = NoKey) {
  if (!KnownRop(Rop) || To.Width <= 0 || To.Height <= 0 || From.Width <= 0 || From.Height <= 0)
    return FALSE;
  if (Rop == SRCCOPY && Key == NoKey && CopyRowsDirectly(Source, Target, To, From))
    return TRUE;
  const TSurface& D = Target.Surface;
  const TSurface& S = Source.Surface;
  const uint32_t Mask = D.RawMask();
  for (int64_t j = 0; j < To.Height; ++j) {
    const int64_t DestY = To.Y + j;
    const int64_t SourceY = From.Y + SourceIndex(j, To.Height, From.Height);
    if (DestY < 0 || DestY >= D.Height || SourceY < 0 || SourceY >= S.Height)
      continue;
    for (int64_t i = 0; i < To.Width; ++i) {
      const int64_t DestX = To.X + i;
      const int64_t SourceX = From.X + SourceIndex(i, To.Width, From.Width);
      if (!D.Contains(DestX, DestY) || !S.Contains(SourceX, SourceY))
        continue;
      const auto X = static_cast<int32_t>(DestX);
      const auto Y = static_cast<int32_t>(DestY);
      const uint32_t Raw = S.RawPixel(static_cast<int32_t>(SourceX), static_cast<int32_t>(SourceY));
      if (Key != NoKey && (S.ColorOf(Raw) & ColorBits) == (Key & ColorBits))
        continue;
      const uint32_t Value = SourceValue(Source, Raw, Target);
      D.SetRawPixel(X, Y, ApplyRop(Rop, Value, D.RawPixel(X, Y), Mask));
    }
  }
  return TRUE;
}

bool TargetOf(HDC DC, TBlitTarget& Target) {
  const TDeviceContext* Context = ContextOf(DC);
  if (Context == nullptr || Context->Screen)
    return false;
  Target = {Context->Selected->Surface(), Context->Background, Context->Text};
  return true;
}

} // namespace

BOOL StretchBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Source, int SourceX, int SourceY,
                int SourceWidth, int SourceHeight, DWORD Rop) {
  TBlitTarget Target;
  const TDeviceContext* From = ContextOf(Source);
  if (!TargetOf(Dest, Target) || From == nullptr || From->Screen)
    return FALSE;
  const TBlitSource Origin{From->Selected->Surface(), From->Background};
  return Blit(Target, {X, Y, Width, Height}, Origin, {SourceX, SourceY, SourceWidth, SourceHeight},
              Rop);
}

BOOL TransparentBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Source, int SourceX,
                    int SourceY, int SourceWidth, int SourceHeight, UINT Transparent) {
  TBlitTarget Target;
  const TDeviceContext* From = ContextOf(Source);
  if (!TargetOf(Dest, Target) || From == nullptr || From->Screen)
    return FALSE;
  const TBlitSource Origin{From->Selected->Surface(), From->Background};
  return Blit(Target, {X, Y, Width, Height}, Origin, {SourceX, SourceY, SourceWidth, SourceHeight},
              SRCCOPY, Transparent);
}

BOOL BitBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Source, int SourceX, int SourceY,
            DWORD Rop) {
  return StretchBlt(Dest, X, Y, Width, Height, Source, SourceX, SourceY, Width, Height, Rop);
}

int StretchDIBits(HDC Dest, int X, int Y, int Width, int Height, int SourceX, int SourceY,
                  int SourceWidth, int SourceHeight, const void* Bits, const BITMAPINFO* Info, UINT,
                  DWORD Rop) {
  TBlitTarget Target;
  TSurface Surface;
  if (!TargetOf(Dest, Target) || Info == nullptr || !DIBSurface(*Info, Bits, Surface))
    return 0;
  // A bottom-up DIB's source rectangle is measured from its lower-left corner.
  const int Top = Surface.TopDown ? SourceY : Surface.Height - SourceY - SourceHeight;
  const TBlitSource Origin{Surface, Target.Background};
  if (!Blit(Target, {X, Y, Width, Height}, Origin, {SourceX, Top, SourceWidth, SourceHeight}, Rop))
    return 0;
  return SourceHeight;
}

COLORREF GetPixel(HDC DC, int X, int Y) {
  TBlitTarget Target;
  if (!TargetOf(DC, Target) || !Target.Surface.Contains(X, Y))
    return CLR_INVALID;
  return Target.Surface.ColorOf(Target.Surface.RawPixel(X, Y));
}

COLORREF SetPixel(HDC DC, int X, int Y, COLORREF Color) {
  TBlitTarget Target;
  if (!TargetOf(DC, Target) || !Target.Surface.Contains(X, Y))
    return CLR_INVALID;
  const uint32_t Raw = Target.Surface.RawOf(Color);
  Target.Surface.SetRawPixel(X, Y, Raw);
  return Target.Surface.ColorOf(Raw);
}

BOOL FillSolid(HDC DC, int X, int Y, int Width, int Height, COLORREF Color) {
  TBlitTarget Target;
  if (!TargetOf(DC, Target))
    return FALSE;
  const TSurface& D = Target.Surface;
  const uint32_t Raw = D.RawOf(Color);
  for (int64_t Row = std::max(0, Y); Row < std::min<int64_t>(D.Height, int64_t{Y} + Height); ++Row)
    for (int64_t Column = std::max(0, X); Column < std::min<int64_t>(D.Width, int64_t{X} + Width);
         ++Column)
      D.SetRawPixel(static_cast<int32_t>(Column), static_cast<int32_t>(Row), Raw);
  return TRUE;
}
