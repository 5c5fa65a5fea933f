// The heap the whole process holds, counted by our own malloc family in front of glibc's, so a
// decode's peak includes the graphics layer's calloc'd bitmaps and zlib's state as well as new.
#pragma once

#include <cstdint>
#include <optional>

// Watches the heap from its construction on: the most it has grown above where it started, or
// nothing in a build that does not count the heap.
class THeapPeakProbe {
public:
  THeapPeakProbe();
  std::optional<int64_t> PeakGrowth() const;

private:
  int64_t FStart;
};
