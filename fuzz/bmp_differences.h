// The differences between our bitmap reader and ImageMagick's that we chose, as
// fuzz/DIFFERENCES.md lists them, recognised by the file's structure alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The listed difference that explains different pixels from a file both readers accept; none if
// none does.
std::optional<std::string> WhyPixelsDifferFromImageMagick(const uint8_t* Data, size_t Size);
