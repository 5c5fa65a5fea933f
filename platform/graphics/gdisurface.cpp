// Pixel access and colour conversion on surfaces of every format.
#include "platform/graphics/gdiobjects.h"

namespace {

// 5-bit channels widen by repeating their top bits, so 0 and 31 map to 0 and 255.
BYTE Widen5(uint32_t Value) {
  return static_cast<BYTE>((Value << 3) | (Value >> 2));
}

} // namespace

int64_t PaddedRowBytes(int64_t Width, int BitCount) {
  return ((Width * BitCount + 31) & ~int64_t{31}) / 8;
}

uint32_t NearestColorIndex(const RGBQUAD* Colors, int Count, COLORREF Color) {
  uint32_t Best = 0;
  int64_t BestDistance = INT64_MAX;
  for (int i = 0; i < Count; ++i) {
    const int64_t Red = int64_t{Colors[i].rgbRed} - GetRValue(Color);
    const int64_t Green = int64_t{Colors[i].rgbGreen} - GetGValue(Color);
    const int64_t Blue = int64_t{Colors[i].rgbBlue} - GetBValue(Color);
    const int64_t Distance = Red * Red + Green * Green + Blue * Blue;
    if (Distance < BestDistance) {
      BestDistance = Distance;
      Best = static_cast<uint32_t>(i);
    }
  }
  return Best;
}

int ExactColorIndex(const RGBQUAD* Colors, int Count, COLORREF Color) {
  for (int i = 0; i < Count; ++i)
    if (ColorOfEntry(Colors[i]) == (Color & 0xFFFFFFu))
      return i;
  return -1;
}

uint32_t TSurface::RawPixel(int32_t X, int32_t Y) const {
  const uint8_t* Line = Row(Y);
  switch (BitCount) {
  case 1:
    return (Line[X >> 3] >> (7 - (X & 7))) & 1u;
  case 4:
    return (X & 1) != 0 ? Line[X >> 1] & 0x0Fu : Line[X >> 1] >> 4;
  case 8:
    return Line[X];
  case 16:
    return Line[2 * X] | (uint32_t{Line[2 * X + 1]} << 8);
  case 24:
    return Line[3 * X] | (uint32_t{Line[3 * X + 1]} << 8) | (uint32_t{Line[3 * X + 2]} << 16);
  default:
    return Line[4 * X] | (uint32_t{Line[4 * X + 1]} << 8) | (uint32_t{Line[4 * X + 2]} << 16) |
           (uint32_t{Line[4 * X + 3]} << 24);
  }
}

void TSurface::SetRawPixel(int32_t X, int32_t Y, uint32_t Value) const {
  uint8_t* Line = Row(Y);
  switch (BitCount) {
  case 1: {
    const auto Bit = static_cast<uint8_t>(0x80u >> (X & 7));
    Line[X >> 3] =
        static_cast<uint8_t>((Value & 1) != 0 ? Line[X >> 3] | Bit : Line[X >> 3] & ~Bit);
    return;
  }
  case 4: {
    uint8_t& Byte = Line[X >> 1];
    Byte = (X & 1) != 0 ? static_cast<uint8_t>((Byte & 0xF0) | (Value & 0x0F))
                        : static_cast<uint8_t>((Byte & 0x0F) | ((Value & 0x0F) << 4));
    return;
  }
  case 8:
    Line[X] = static_cast<uint8_t>(Value);
    return;
  case 16:
    Line[2 * X] = static_cast<uint8_t>(Value);
    Line[2 * X + 1] = static_cast<uint8_t>(Value >> 8);
    return;
  case 24:
    for (int i = 0; i < 3; ++i)
      Line[3 * X + i] = static_cast<uint8_t>(Value >> (8 * i));
    return;
  default:
    for (int i = 0; i < 4; ++i)
      Line[4 * X + i] = static_cast<uint8_t>(Value >> (8 * i));
  }
}

COLORREF TSurface::ColorOf(uint32_t Raw) const {
  if (Monochrome)
    return Raw != 0 ? RGB(255, 255, 255) : RGB(0, 0, 0);
  switch (BitCount) {
  case 1:
  case 4:
  case 8:
    return static_cast<int>(Raw) < ColorCount ? ColorOfEntry(Colors[Raw]) : RGB(0, 0, 0);
  case 16:
    return RGB(Widen5((Raw >> 10) & 31), Widen5((Raw >> 5) & 31), Widen5(Raw & 31));
  default:
    return RGB(static_cast<BYTE>(Raw >> 16), static_cast<BYTE>(Raw >> 8), static_cast<BYTE>(Raw));
  }
}

uint32_t TSurface::RawOf(COLORREF Color) const {
  if (Monochrome) {
    // Nearer white than black.
    return GetRValue(Color) + GetGValue(Color) + GetBValue(Color) > 382 ? 1 : 0;
  }
  switch (BitCount) {
  case 1:
  case 4:
  case 8:
    return NearestColorIndex(Colors, ColorCount, Color);
  case 16:
    return (uint32_t{GetRValue(Color)} >> 3 << 10) | (uint32_t{GetGValue(Color)} >> 3 << 5) |
           (uint32_t{GetBValue(Color)} >> 3);
  default:
    return (uint32_t{GetRValue(Color)} << 16) | (uint32_t{GetGValue(Color)} << 8) |
           GetBValue(Color);
  }
}

bool DIBSurface(const BITMAPINFO& Info, const void* Bits, TSurface& Surface) {
  const BITMAPINFOHEADER& Header = Info.bmiHeader;
  const int BitCount = Header.biBitCount;
  const bool KnownDepth = BitCount == 1 || BitCount == 4 || BitCount == 8 || BitCount == 16 ||
                          BitCount == 24 || BitCount == 32;
  if (Bits == nullptr || !KnownDepth || Header.biCompression != BI_RGB || Header.biWidth <= 0 ||
      Header.biHeight == 0 || Header.biHeight == INT32_MIN)
    return false;
  Surface.Width = Header.biWidth;
  Surface.Height = Header.biHeight < 0 ? -Header.biHeight : Header.biHeight;
  Surface.TopDown = Header.biHeight < 0;
  Surface.BitCount = static_cast<uint16_t>(BitCount);
  Surface.Stride = PaddedRowBytes(Surface.Width, BitCount);
  Surface.Bits = static_cast<uint8_t*>(const_cast<void*>(Bits));
  Surface.Colors = Info.bmiColors;
  Surface.ColorCount = BitCount <= 8 ? 1 << BitCount : 0;
  return true;
}
