// The differences between our decoder and libpng that we chose, as fuzz/DIFFERENCES.md lists
// them. Each is recognised by the file's structure, read here on its own (zlib inflates the image
// data); where libpng is the one that refuses, its reason must be the one the difference gives.
#pragma once

#include "fuzz/libpng_oracle.h"

#include <optional>
#include <string>

// The listed difference that explains libpng refusing, with the text LibpngError, a file we
// accept; none if no listed difference does.
std::optional<std::string> WhyLibpngRefuses(const TBytes& File, const std::string& LibpngError);

// The listed difference that explains our refusing a file libpng accepts; none if none does.
std::optional<std::string> WhyWeRefuse(const TBytes& File);
