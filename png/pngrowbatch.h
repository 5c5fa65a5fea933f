// The second stage of reading image data: the row filters undone a batch of rows at a time, the
// batch being how rows of one-byte pixels go side by side into the skewed lanes (pngskewed.h).
#pragma once

#include "png/pngskewed.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// Rows waiting to have their filters undone. Each row is inflated with its filter byte first into
// FilteredRow, a batch of rows is undone together, and the last row of a batch stays as the row
// above the next. Rows of whole one-byte pixels up to MaxSkewedRowBytes go fifteen at a time in the
// skewed layout; other rows two at a time, which UnfilterRowPair may undo side by side.
class TRowBatch {
public:
  static constexpr uint32_t MaxSkewedRows = SkewedLanes - 1;
  // The widest row the skewed layout takes: sixteen lanes of it stay well inside a megabyte.
  static constexpr uint32_t MaxSkewedRowBytes = 32768;
  static constexpr uint32_t MaxPairedRows = 2;

  // Rows of RowBytes bytes whose pixels are PixelBits wide; the row above the first is zeros.
  TRowBatch(uint32_t RowBytes, uint32_t PixelBits);

  // The most rows one batch takes.
  uint32_t Capacity() const { return Skewed ? MaxSkewedRows : MaxPairedRows; }
  // Where row k (0-based) of the batch takes its filter byte and then its bytes.
  uint8_t* FilteredRow(uint32_t k) { return Skewed ? Lane(k + 1) + k : Slots[k + 1]; }
  // Undoes the first Rows rows (1..Capacity).
  void Unfilter(uint32_t Rows);
  // Row k's bytes, once undone.
  const uint8_t* Row(uint32_t k) const { return Skewed ? Lane(k + 1) + k + 1 : Undone[k] + 1; }

private:
  uint8_t* Lane(uint32_t k) const { return Lanes + k * Pitch; }
  void UnfilterPaired(uint32_t Rows);

  uint32_t Count;
  uint32_t Stride;
  bool Skewed;
  size_t Pitch;
  std::unique_ptr<uint8_t[]> Storage;
  // The skewed layout; lane 0 is the row above.
  uint8_t* Lanes = nullptr;
  // Two rows at a time, each after its filter byte: the row above, then the batch's rows; and the
  // batch's rows once undone, while the slots have moved on to the next batch.
  uint8_t* Slots[MaxPairedRows + 1] = {};
  uint8_t* Undone[MaxPairedRows] = {};
};
