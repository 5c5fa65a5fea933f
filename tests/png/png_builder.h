// Builds PNG streams byte by byte for tests: chunks with correct (or deliberately wrong) CRCs,
// headers, and image data compressed from raw filtered rows.
#pragma once

#include "png/pngimage.h"

#include <string>
#include <typeinfo>
#include <vector>

using TBytes = std::vector<uint8_t>;

TBytes HeaderBody(uint32_t Width, uint32_t Height, uint8_t BitDepth, uint8_t ColorType,
                  uint8_t Interlace = 0, uint8_t Compression = 0);
// Raw rows, each beginning with its filter byte, as one zlib stream.
TBytes Compress(const TBytes& Raw);

class TPngBuilder {
public:
  TPngBuilder();
  // Appends a chunk with its length, type, body and the right CRC.
  TPngBuilder& Chunk(const std::string& Type, const TBytes& Body);
  // Appends raw bytes (damaged frames, trailing data).
  TPngBuilder& Raw(const TBytes& Bytes);
  TPngBuilder& Header(uint32_t Width, uint32_t Height, uint8_t BitDepth, uint8_t ColorType,
                      uint8_t Interlace = 0);
  TPngBuilder& Data(const TBytes& RawRows) { return Chunk("IDAT", Compress(RawRows)); }
  TPngBuilder& End() { return Chunk("IEND", {}); }
  // Flips a bit of the last chunk's CRC.
  TPngBuilder& BreakLastCrc();
  const TBytes& Bytes() const { return FBytes; }

private:
  TBytes FBytes;
};

// Keyed images whose key shares its shown colour with another index: a 3x1 palette image whose
// clear entry 0 has the black of entry 2 (pixels 0 1 2), and a 2x1 8-bit grey image keyed on 255
// under a gamma that shows 254 like 255 (pixels 254 255).
TBytes DuplicateBlackPalette();
TBytes GreyKeyShownLikeItsNeighbour();

// Loads bytes into an image; the stream is returned for position checks.
void LoadBytes(TPNGObject& Image, const TBytes& Bytes, TMemoryStream* Stream = nullptr);
// Loading Bytes raises exactly Class with Message (a test failure if it loads or raises another).
void ExpectRejected(const TBytes& Bytes, const std::type_info& Class, const std::string& Message);
// Saves an image into bytes.
TBytes SavedBytes(TPNGObject& Image);
// The chunk types in the image's list.
std::vector<std::string> ChunkTypes(const TPNGObject& Image);
