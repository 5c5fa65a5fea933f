#include "tests/support/allocation_probe.h"

#include <cstdlib>
#include <new>

namespace {

size_t Largest = 0;
size_t UntilFailure = 0;
long Live = 0;

} // namespace

size_t LargestAllocation() {
  return Largest;
}

void ResetLargestAllocation() {
  Largest = 0;
}

void FailNthAllocation(size_t Nth) {
  UntilFailure = Nth;
}

long LiveAllocations() {
  return Live;
}

void* operator new(size_t Size) {
  if (Size > Largest)
    Largest = Size;
  if (UntilFailure > 0 && --UntilFailure == 0)
    throw std::bad_alloc();
  if (void* Block = std::malloc(Size == 0 ? 1 : Size)) {
    ++Live;
    return Block;
  }
  throw std::bad_alloc();
}

void operator delete(void* Block) noexcept {
  if (Block != nullptr)
    --Live;
  std::free(Block);
}

void operator delete(void* Block, size_t) noexcept {
  operator delete(Block);
}
