// Rows of one-byte pixels undone side by side. A pixel's Average or Paeth depends on the pixel
// just undone to its left, so one such row is a chain of a few instructions per byte; sixteen
// rows held one per byte lane of a vector, each lane a column behind the lane above it, have
// every byte's left, upper and upper-left neighbours ready a step before it, and advance a
// column of all of them per step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

constexpr uint32_t SkewedLanes = 16;

// The skewed layout: lane k's row starts at index k of its Pitch bytes at Lanes + k * Pitch,
// with zeros before it; Pitch is a multiple of 16 of at least Count + 15 bytes and the lanes
// start 16-byte aligned. Lane 0 is the row above lane 1 and is left as it is (Types[0] is
// ignored); Types[k] is the filter of lane k's Count bytes. Bytes past a row may be overwritten.
// The plain routine, lane by lane, is the definition; the one side by side must give the same
// bytes; the chooser takes whichever costs less for these types.
void UnfilterSkewedPlain(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count);
void UnfilterSkewedTogether(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count);
void UnfilterSkewed(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count);

// Up to fifteen rows of Count bytes inflated straight into the skewed layout and undone
// together; the last row of a batch stays as the row above the next.
class TRowBatch {
public:
  static constexpr uint32_t MaxRows = SkewedLanes - 1;
  // The widest row a batch takes: sixteen lanes of it stay well inside a megabyte.
  static constexpr uint32_t MaxRowBytes = 32768;

  explicit TRowBatch(uint32_t RowBytes);

  // Where row k (0-based) of the batch takes its filter byte and then its Count bytes.
  uint8_t* FilteredRow(uint32_t k) { return Lane(k + 1) + k; }
  // Takes the filter bytes of the first Rows rows (1..MaxRows) and undoes them; returns the
  // filter types met, as bits (1 << type).
  uint32_t Unfilter(uint32_t Rows);
  // The row above the next batch, where it was not the last row of this one.
  void SetRowAbove(const uint8_t* Bytes);
  // Row k's bytes, once undone.
  const uint8_t* Row(uint32_t k) const { return Lane(k + 1) + k + 1; }

private:
  uint8_t* Lane(uint32_t k) const { return Lanes + k * Pitch; }

  uint32_t Count;
  size_t Pitch;
  std::unique_ptr<uint8_t[]> Storage;
  uint8_t* Lanes;
};
