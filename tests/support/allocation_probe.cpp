#include "tests/support/allocation_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Atomic because the writer's threads allocate and free too.
std::atomic<size_t> Largest = 0;
std::atomic<size_t> UntilFailure = 0;
std::atomic<long> Live = 0;

void NoteSize(size_t Size) {
  size_t Seen = Largest.load();
  while (Size > Seen && !Largest.compare_exchange_weak(Seen, Size)) {
  }
}

// True for the one request that the count set by FailNthAllocation reaches.
bool IsPlantedFailure() {
  size_t Left = UntilFailure.load();
  while (Left > 0 && !UntilFailure.compare_exchange_weak(Left, Left - 1)) {
  }
  return Left == 1;
}

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
  NoteSize(Size);
  if (IsPlantedFailure())
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

// The nothrow forms go through the same count, so a block from either is freed by the other's
// delete and a planted failure reaches a caller that asks without exceptions as a null pointer.
void* operator new(size_t Size, const std::nothrow_t&) noexcept {
  try {
    return operator new(Size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void operator delete(void* Block, const std::nothrow_t&) noexcept {
  operator delete(Block);
}
