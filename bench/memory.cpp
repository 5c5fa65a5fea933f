// Replaces the malloc family, as glibc allows, with thin counters around glibc's own allocator.
// Every block is counted at its usable size, on the way in and on the way out, so the count is
// exact whichever of the entry points made the block.
#include "bench/memory.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t Size);
void* __libc_calloc(size_t Count, size_t Size);
void* __libc_realloc(void* Block, size_t Size);
void* __libc_memalign(size_t Alignment, size_t Size);
void* __libc_valloc(size_t Size);
void* __libc_pvalloc(size_t Size);
void __libc_free(void* Block);
}

namespace {

std::atomic<int64_t> HeapInUse{0};
std::atomic<int64_t> HeapPeak{0};

void RaisePeakTo(int64_t Level) {
  int64_t Seen = HeapPeak.load(std::memory_order_relaxed);
  while (Level > Seen && !HeapPeak.compare_exchange_weak(Seen, Level, std::memory_order_relaxed))
    ;
}

void* Counted(void* Block) {
  if (Block != nullptr) {
    const auto Size = static_cast<int64_t>(malloc_usable_size(Block));
    RaisePeakTo(HeapInUse.fetch_add(Size, std::memory_order_relaxed) + Size);
  }
  return Block;
}

void Uncount(void* Block) {
  if (Block != nullptr)
    HeapInUse.fetch_sub(static_cast<int64_t>(malloc_usable_size(Block)), std::memory_order_relaxed);
}

} // namespace

extern "C" {

void* malloc(size_t Size) noexcept {
  return Counted(__libc_malloc(Size));
}

void* calloc(size_t Count, size_t Size) noexcept {
  return Counted(__libc_calloc(Count, Size));
}

void free(void* Block) noexcept {
  Uncount(Block);
  __libc_free(Block);
}

// A failed realloc leaves the old block in place, so it is uncounted only once it is gone.
void* realloc(void* Block, size_t Size) noexcept {
  const size_t OldSize = Block != nullptr ? malloc_usable_size(Block) : 0;
  void* Moved = __libc_realloc(Block, Size);
  if (Moved == nullptr && Size != 0)
    return nullptr;
  HeapInUse.fetch_sub(static_cast<int64_t>(OldSize), std::memory_order_relaxed);
  return Counted(Moved);
}

void* memalign(size_t Alignment, size_t Size) noexcept {
  return Counted(__libc_memalign(Alignment, Size));
}

void* aligned_alloc(size_t Alignment, size_t Size) noexcept {
  return Counted(__libc_memalign(Alignment, Size));
}

void* valloc(size_t Size) noexcept {
  return Counted(__libc_valloc(Size));
}

void* pvalloc(size_t Size) noexcept {
  return Counted(__libc_pvalloc(Size));
}

int posix_memalign(void** Result, size_t Alignment, size_t Size) noexcept {
  if (Alignment < sizeof(void*) || (Alignment & (Alignment - 1)) != 0)
    return EINVAL;
  void* Block = Counted(__libc_memalign(Alignment, Size));
  if (Block == nullptr)
    return ENOMEM;
  *Result = Block;
  return 0;
}

} // extern "C"

THeapPeakProbe::THeapPeakProbe() : FStart(HeapInUse.load(std::memory_order_relaxed)) {
  HeapPeak.store(FStart, std::memory_order_relaxed);
}

std::optional<int64_t> THeapPeakProbe::PeakGrowth() const {
  return HeapPeak.load(std::memory_order_relaxed) - FStart;
}
