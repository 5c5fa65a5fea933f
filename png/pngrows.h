// The row decoders, which store unfiltered rows into the image memory, and the Adam7 pass
// geometry they and the writer share (not part of the public face).
#pragma once

#include "png/pngimage.h"

// The Adam7 passes: starting row and column, row and column increments.
struct TAdam7Pass {
  int StartRow, StartColumn, RowStep, ColumnStep;

  // The pass's pixels across an image Width wide, and its rows down one Height high.
  int32_t Columns(int32_t Width) const {
    return std::max(0, (Width - StartColumn + ColumnStep - 1) / ColumnStep);
  }
  int32_t Rows(int32_t Height) const {
    return std::max(0, (Height - StartRow + RowStep - 1) / RowStep);
  }
};
extern const TAdam7Pass Adam7Passes[7];

// GammaInForce: the gamma table is not the identity, so truecolour samples go through it.
TRowDecoder RowDecoderFor(uint8_t ColorType, uint8_t BitDepth, bool GammaInForce);
TPassDecoder PassDecoderFor(uint8_t ColorType, uint8_t BitDepth, bool GammaInForce);
// The layouts whose image rows are the row bytes as they stand.
bool RowsStoredAsTheyStand(uint8_t ColorType, uint8_t BitDepth);
