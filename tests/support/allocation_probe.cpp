#include "tests/support/allocation_probe.h"

#include <cstdlib>
#include <new>

namespace {

size_t Largest = 0;

} // namespace

size_t LargestAllocation() { return Largest; }

void ResetLargestAllocation() { Largest = 0; }

void* operator new(size_t Size) {
  if (Size > Largest)
    Largest = Size;
  if (void* Block = std::malloc(Size == 0 ? 1 : Size))
    return Block;
  throw std::bad_alloc();
}

void operator delete(void* Block) noexcept { std::free(Block); }

void operator delete(void* Block, size_t) noexcept { std::free(Block); }
