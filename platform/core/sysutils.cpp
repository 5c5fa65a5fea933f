#include "platform/core/sysutils.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <sys/stat.h>

bool FileExists(const std::string& Path) {
  struct stat Info {};
  return ::stat(Path.c_str(), &Info) == 0 && S_ISREG(Info.st_mode);
}

bool CompareMem(const void* P1, const void* P2, int64_t Length) {
  if (Length <= 0)
    return true;
  return std::memcmp(P1, P2, static_cast<size_t>(Length)) == 0;
}

// Huge pages are only a hint: where the system has none to give, the block works the same.
void* AllocateZeroedBlock(size_t Bytes) {
  constexpr uintptr_t HugePage = uintptr_t{2} << 20;
  void* Block = std::calloc(1, Bytes);
  if (Block == nullptr || Bytes < 2 * HugePage)
    return Block;
  const auto At = reinterpret_cast<uintptr_t>(Block);
  const uintptr_t First = (At + HugePage - 1) & ~(HugePage - 1);
  const uintptr_t End = (At + Bytes) & ~(HugePage - 1);
  if (End > First)
    ::madvise(reinterpret_cast<void*>(First), End - First, MADV_HUGEPAGE);
  return Block;
}
