#include "png/pngzlib.h"

#include "platform/core/limits.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

// Images are decoded and encoded on several threads at once.
std::atomic<int64_t> LiveBlocks = 0;
int64_t AllocationsUntilFailure = 0;

bool InjectedFailure() {
  if (AllocationsUntilFailure == 0)
    return false;
  if (AllocationsUntilFailure > 1) {
    --AllocationsUntilFailure;
    return false;
  }
  return true;
}

} // namespace

voidpf ZlibAlloc(voidpf, uInt Items, uInt Size) {
  size_t Bytes = 0;
  if (__builtin_mul_overflow(static_cast<size_t>(Items), static_cast<size_t>(Size), &Bytes) ||
      Bytes > MaxZlibBlockBytes || InjectedFailure())
    return Z_NULL;
  voidpf Block = std::malloc(Bytes == 0 ? 1 : Bytes);
  if (Block != Z_NULL)
    ++LiveBlocks;
  return Block;
}

void ZlibFree(voidpf, voidpf Address) {
  if (Address == Z_NULL)
    return;
  --LiveBlocks;
  std::free(Address);
}

void PrepareZlibStream(z_stream& Stream) {
  std::memset(&Stream, 0, sizeof Stream);
  Stream.zalloc = ZlibAlloc;
  Stream.zfree = ZlibFree;
}

int64_t ZlibLiveBlocks() {
  return LiveBlocks;
}

void ZlibFailAllocationsFrom(int64_t Nth) {
  AllocationsUntilFailure = Nth < 0 ? 0 : Nth;
}
