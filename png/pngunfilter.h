// Undoing the PNG row filters. The plain routine is the definition; the fast one, specialised
// for each pixel width, must give the same bytes for every filter, width and row.
#pragma once

#include <cstdint>

// Row holds Count filtered bytes (no filter byte) and Up the previous row's unfiltered bytes
// (zeros above the first row); Stride is the bytes of a whole pixel, at least 1. Filter types
// above ftPaeth leave the row as it is.
void UnfilterRowPlain(uint8_t Type, uint32_t Stride, uint8_t* Row, const uint8_t* Up,
                      uint32_t Count);
void UnfilterRow(uint8_t Type, uint32_t Stride, uint8_t* Row, const uint8_t* Up, uint32_t Count);

// RowCount consecutive rows of Count bytes, Rows[k] filtered with Types[k], Up above the first;
// the same bytes as undoing them one after another with UnfilterRow, which it does unless a
// faster walk over them together applies.
void UnfilterRows(uint32_t Stride, const uint8_t* Types, uint8_t* const* Rows, const uint8_t* Up,
                  uint32_t RowCount, uint32_t Count);
