// The colours an image shows, with their alpha, as 8-bit red, green, blue and alpha: what PAM
// output and thumbnails are made of.
#pragma once

#include "png/pngimage.h"

#include <cstdint>

class TShownPixels {
public:
  // EInvalidGraphic for an image without pixels or with image memory of an unknown layout.
  explicit TShownPixels(const TPNGObject& Image);
  uint32_t Width() const { return FHeader.Width; }
  uint32_t Height() const { return FHeader.Height; }
  // Row Y (0 = top) into Out, four bytes a pixel. Truecolour comes from the image memory,
  // indexed pixels through the colour table; alpha from the alpha plane, a palette's tRNS, or a
  // colour key (0 for the key's own grey index, or where a truecolour pixel shows the key).
  void ReadRow(uint32_t Y, uint8_t* Out) const;

private:
  bool IsKey(uint32_t Index, const uint8_t* Rgb) const;

  const TChunkIHDR& FHeader;
  const TChunktRNS* FPaletteAlpha = nullptr; // alpha by index
  bool FKeyed = false;
  int FKeyIndex = -1;
  COLORREF FKey = 0;
};
