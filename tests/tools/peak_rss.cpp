// peak_rss REPORT ARGS...: runs vqzconv ARGS in this process and writes to REPORT its status,
// the resident peak before the command and after it (KiB, from /proc/self/status: the peak of
// this program alone, not of whoever started it).
#include "png/pngimage.h"
#include "tools/vqzconv.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

long PeakResidentKiB() {
  std::ifstream Status("/proc/self/status");
  for (std::string Line; std::getline(Status, Line);)
    if (Line.rfind("VmHWM:", 0) == 0)
      return std::stol(Line.substr(6));
  return -1;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2)
    return 64;
  InitializePngImageUnit();
  const long Before = PeakResidentKiB();
  std::ostringstream Out, Err;
  const int Status = RunVqzconv(std::vector<std::string>(argv + 2, argv + argc), Out, Err);
  const long After = PeakResidentKiB();
  FinalizePngImageUnit();
  std::ofstream(argv[1]) << Status << " " << Before << " " << After << "\n";
  return 0;
}
