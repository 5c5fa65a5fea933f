// The heap probe of a build whose malloc is not ours to replace (ThreadSanitizer's): it counts
// nothing and says so.
#include "bench/memory.h"

THeapPeakProbe::THeapPeakProbe() : FStart(0) {}

std::optional<int64_t> THeapPeakProbe::PeakGrowth() const {
  return std::nullopt;
}
