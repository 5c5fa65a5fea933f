// libpng as the trusted second decoder, its output reduced to what our image memory holds, so
// that the two can be compared pixel for pixel. The conformance tests and the differential fuzz
// target share it.
#pragma once

#include "png/pngimage.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

using TBytes = std::vector<uint8_t>;

// Raised when libpng refuses a file; the text is libpng's own.
class ELibpngRefused : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Every pixel as a comparable value: indexed images give index | alpha << 24, true-colour
// images blue | green << 8 | red << 16 | alpha << 24, each reduced as our image memory holds
// it (high bytes of 16-bit samples, 2-bit grey times 5, gamma on colour samples).
using TPixels = std::vector<uint32_t>;

// What libpng decodes from the whole file (up to and including IEND), reduced that way with
// our gamma table.
TPixels OraclePixels(const TBytes& File, const std::array<uint8_t, 256>& Gamma);
// What libpng decodes from the file as 8-bit RGBA: everything expanded, no gamma.
TBytes OracleRgba(const TBytes& File);
// What our image memory holds.
TPixels OurPixels(const TPNGObject& Image);
