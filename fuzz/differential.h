// Our decoder against libpng, the trusted second decoder, on one PNG stream: both refuse it, or
// both accept it with the same pixels and alpha, or the difference is one we chose and listed in
// fuzz/DIFFERENCES.md. Anything else is a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class TAgreement { Same, Listed, Finding };

struct TDifferential {
  TAgreement Agreement;
  // The finding, or the name of the listed difference.
  std::string What;
};

TDifferential CompareWithLibpng(const uint8_t* Data, size_t Size);

// The fuzz target's body: aborts on a finding.
void FuzzPngAgainstLibpng(const uint8_t* Data, size_t Size);
