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

// Two rows one after the other, Second below First, with filter types Types[0] and Types[1]: the
// bytes the fast routine gives row after row. A Sub, Average or Paeth row is a chain from pixel
// to pixel that keeps the processor waiting; two such rows of 3-, 4- or 6-byte pixels are undone
// side by side.
void UnfilterRowPair(const uint8_t (&Types)[2], uint32_t Stride, uint8_t* First, uint8_t* Second,
                     const uint8_t* Up, uint32_t Count);
