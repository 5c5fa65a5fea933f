#include "platform/core/sysutils.h"

#include <cstring>
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
