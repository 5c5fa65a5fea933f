// Windows bitmap files: the reader behind TBitmap::LoadFromStream and the writer behind
// SaveToStream. Files come from anywhere, so the reader trusts nothing it reads: every size is
// checked against what the stream holds before anything is allocated, and anything damaged or
// cut short raises EInvalidGraphic.
#pragma once

#include "platform/core/classes.h"
#include "platform/core/limits.h"
#include "platform/graphics/gdi.h"

#include <cstdint>
#include <vector>

// A bitmap file's pixels as the loader hands them to a bitmap.
struct TBitmapFileImage {
  int32_t Width = 0;
  int32_t Height = 0;          // always positive
  uint16_t BitCount = 0;       // 1, 4, 8: indexes into Colors; 24: blue, green, red
  std::vector<RGBQUAD> Colors; // 2^BitCount entries for indexed images, none for 24 bits
  std::vector<uint8_t> Rows;   // Height rows, top row first, each RowBytes() long

  // Bytes per row, padded to a multiple of 4.
  int32_t RowBytes() const;
};

// Reads a bitmap file from the stream's position: 12-, 40-, 108- and 124-byte headers; 1, 4, 8,
// 16, 24 and 32 bits; BI_RGB, BI_RLE8, BI_RLE4 and BI_BITFIELDS; bottom-up and top-down. Indexed
// files stay indexed; 16- and 32-bit files become 24-bit (alpha is dropped).
TBitmapFileImage ReadBitmapFile(TStream& Stream);

// Writes a file with a 40-byte header, uncompressed, bottom-up: 24-bit, or indexed with its
// colour table.
void WriteBitmapFile(TStream& Stream, const TBitmapFileImage& Image);
