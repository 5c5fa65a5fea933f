// The PngSuite corpus and what libpng, our oracle, makes of its files.
#pragma once

#include "fuzz/libpng_oracle.h"
#include "png/pngimage.h"
#include "tests/support/testfiles.h"

#include <cstdint>
#include <string>
#include <vector>

// The corpus directory (relative to the project root, where the tests run), and its file names
// in order: the valid files, or
// the damaged ones (named x...).
std::string PngSuiteDir();
std::vector<std::string> SuiteFiles(bool Damaged = false);

struct TParsedChunk {
  std::string Type;
  TBytes Body;
};
// The chunks of a file in order, read by their lengths.
std::vector<TParsedChunk> ParseChunks(const TBytes& File);
// The chunk types of a file in order, as our loader keeps them: without cHRM and without the
// IDAT chunks after the first.
std::vector<std::string> KeptChunkTypes(const TBytes& File);
