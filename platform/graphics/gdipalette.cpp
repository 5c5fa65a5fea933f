// Palettes and kernel32's MulDiv.
#include "platform/graphics/gdiobjects.h"

#include <climits>
#include <memory>

HPALETTE CreatePalette(const LOGPALETTE* Palette) {
  if (Palette == nullptr || Palette->palNumEntries == 0 || Palette->palNumEntries > 256 ||
      InjectedGdiFailure(gcCreate))
    return nullptr;
  auto Object = std::make_unique<TPaletteObject>();
  Object->Entries.assign(Palette->palPalEntry, Palette->palPalEntry + Palette->palNumEntries);
  return AdoptPalette(std::move(Object));
}

UINT GetNearestPaletteIndex(HPALETTE Palette, COLORREF Color) {
  const TPaletteObject* Object = PaletteOf(Palette);
  if (Object == nullptr)
    return CLR_INVALID;
  std::vector<RGBQUAD> Colors;
  for (const PALETTEENTRY& Entry : Object->Entries)
    Colors.push_back({Entry.peBlue, Entry.peGreen, Entry.peRed, 0});
  return NearestColorIndex(Colors.data(), static_cast<int>(Colors.size()), Color);
}

int MulDiv(int Number, int Numerator, int Denominator) {
  if (Denominator == 0)
    return -1;
  const int64_t Product = int64_t{Number} * Numerator;
  const int64_t Magnitude = (Product < 0 ? -Product : Product) +
                            (Denominator < 0 ? -int64_t{Denominator} : Denominator) / 2;
  int64_t Result = Magnitude / (Denominator < 0 ? -int64_t{Denominator} : Denominator);
  if ((Product < 0) != (Denominator < 0))
    Result = -Result;
  if (Result > INT_MAX || Result < INT_MIN)
    return -1;
  return static_cast<int>(Result);
}
