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
  // colour key (0 where the shown colour is the shown key).
  void ReadRow(uint32_t Y, uint8_t* Out) const;

private:
  const TChunkIHDR& FHeader;
  const TChunktRNS* FPaletteAlpha = nullptr; // alpha by index
  bool FKeyed = false;
  COLORREF FKey = 0;
};
