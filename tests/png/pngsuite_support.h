// The PngSuite corpus and what libpng, our oracle, makes of its files.
#pragma once

#include "png/pngimage.h"
#include "tests/support/testfiles.h"

#include <cstdint>
#include <string>
#include <vector>

using TBytes = std::vector<uint8_t>;

// The corpus directory (relative to the project root, where the tests run), and its file names
// in order: the valid files, or
// the damaged ones (named x...).
std::string PngSuiteDir();
std::vector<std::string> SuiteFiles(bool Damaged = false);

// Every pixel as a comparable value: indexed images give index | alpha << 24, true-colour
// images blue | green << 8 | red << 16 | alpha << 24, each reduced as our image memory holds
// it (high bytes of 16-bit samples, 2-bit grey times 5, gamma on colour samples).
using TPixels = std::vector<uint32_t>;

// What libpng decodes from the file, reduced that way with our gamma table.
TPixels OraclePixels(const TBytes& File, const std::array<uint8_t, 256>& Gamma);
// What libpng decodes from the file as 8-bit RGBA: everything expanded, no gamma.
TBytes OracleRgba(const TBytes& File);
// What our image memory holds.
TPixels OurPixels(const TPNGObject& Image);

struct TParsedChunk {
  std::string Type;
  TBytes Body;
};
// The chunks of a file in order, read by their lengths.
std::vector<TParsedChunk> ParseChunks(const TBytes& File);
// The chunk types of a file in order, as our loader keeps them: without cHRM and without the
// IDAT chunks after the first.
std::vector<std::string> KeptChunkTypes(const TBytes& File);
