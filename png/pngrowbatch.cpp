#include "png/pngrowbatch.h"

#include "png/pngunfilter.h"

#include <algorithm>
#include <cstring>

namespace {

size_t SkewedPitch(uint32_t RowBytes) {
  return (RowBytes + SkewedLanes - 1 + 15) / 16 * 16;
}

} // namespace

TRowBatch::TRowBatch(uint32_t RowBytes, uint32_t PixelBits)
    : Count(RowBytes), Stride(std::max(PixelBits / 8, 1u)),
      Skewed(PixelBits == 8 && RowBytes <= MaxSkewedRowBytes),
      Pitch(Skewed ? SkewedPitch(RowBytes) : size_t{RowBytes} + 1),
      Storage(std::make_unique<uint8_t[]>(Skewed ? SkewedLanes * Pitch + 15
                                                 : (MaxPairedRows + 1) * Pitch)) {
  if (Skewed) {
    Lanes = Storage.get() + (-reinterpret_cast<uintptr_t>(Storage.get()) & 15);
  } else {
    for (uint32_t k = 0; k <= MaxPairedRows; ++k)
      Slots[k] = Storage.get() + k * Pitch;
  }
}

// The last row undone becomes the row above; the other slots take the next batch.
void TRowBatch::UnfilterPaired(uint32_t Rows) {
  uint8_t* const Above = Slots[0];
  if (Rows == MaxPairedRows)
    UnfilterRowPair({Slots[1][0], Slots[2][0]}, Stride, Slots[1] + 1, Slots[2] + 1, Above + 1,
                    Count);
  else
    UnfilterRow(Slots[1][0], Stride, Slots[1] + 1, Above + 1, Count);
  std::copy(Slots + 1, Slots + 1 + Rows, Undone);
  std::rotate(Slots, Slots + Rows, Slots + MaxPairedRows + 1);
}

// In the skewed layout the filter byte sits just before its row, where the skew keeps zeros: it
// is cleared again, and the last row is copied up to lane 0.
void TRowBatch::Unfilter(uint32_t Rows) {
  if (!Skewed) {
    UnfilterPaired(Rows);
    return;
  }
  uint8_t Types[SkewedLanes] = {};
  for (uint32_t k = 1; k <= Rows; ++k) {
    uint8_t* FilterByte = Lane(k) + k - 1;
    Types[k] = *FilterByte;
    *FilterByte = 0;
  }
  UnfilterSkewed(Lanes, Pitch, Types, Count);
  std::memcpy(Lane(0), Row(Rows - 1), Count);
}
