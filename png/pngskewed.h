// Rows of one-byte pixels undone side by side. A pixel's Average or Paeth depends on the pixel
// just undone to its left, so one such row is a chain of a few instructions per byte; sixteen
// rows held one per byte lane of a vector, each lane a column behind the lane above it, have
// every byte's left, upper and upper-left neighbours ready a step before it, and advance a column
// of all of them per step (not part of the public face).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t SkewedLanes = 16;

// The skewed layout: lane k's row starts at index k of its Pitch bytes at Lanes + k * Pitch,
// with zeros before it; Pitch is a multiple of 16 of at least Count + 15 bytes and the lanes
// start 16-byte aligned. Lane 0 is the row above lane 1 and is left as it is (Types[0] is
// ignored); Types[k] is the filter of lane k's Count bytes. Bytes past a row may be overwritten.
// The plain routine, lane by lane, is the definition; the one side by side must give the same
// bytes; the chooser takes whichever costs less for these types.
void UnfilterSkewedPlain(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count);
void UnfilterSkewedTogether(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count);
// The lanes side by side on one processor path (UnfilterSkewedTogether takes the widest this
// processor has); false, with nothing done, where this build or processor lacks the path.
enum TSkewedPath : int { spSse2, spAvx512Vbmi };
bool UnfilterSkewedTogetherOn(TSkewedPath Path, uint8_t* Lanes, size_t Pitch, const uint8_t* Types,
                              uint32_t Count);
void UnfilterSkewed(uint8_t* Lanes, size_t Pitch, const uint8_t* Types, uint32_t Count);
