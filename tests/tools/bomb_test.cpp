// Decompression bombs and huge headers, each given to vqzconv info in a process of its own: each
// ends within 2 seconds with an exception or a correct image, and the process's resident peak
// grows by at most the image memory plus 64 MiB.
#include "tests/png/png_builder.h"
#include "tests/support/testfiles.h"
#include "tools/vqzconv.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>

extern char** environ;

namespace {

struct TMeasured {
  int Status;
  double Seconds;
  int64_t PeakBytes;
};

// vqzconv info PATH in a process of its own, timed, with the growth of its resident peak.
TMeasured MeasureInfo(const std::string& Path, const std::string& Report) {
  std::vector<std::string> Args{PEAK_RSS_PATH, Report, "info", Path};
  std::vector<char*> Argv;
  for (std::string& Arg : Args)
    Argv.push_back(Arg.data());
  Argv.push_back(nullptr);
  const auto Start = std::chrono::steady_clock::now();
  pid_t Child = 0;
  EXPECT_EQ(posix_spawn(&Child, Argv[0], nullptr, nullptr, Argv.data(), environ), 0);
  int Status = 0;
  waitpid(Child, &Status, 0);
  const std::chrono::duration<double> Elapsed = std::chrono::steady_clock::now() - Start;
  int ToolStatus = -1;
  long Before = 0, After = 0;
  std::ifstream(Report) >> ToolStatus >> Before >> After;
  return {ToolStatus, Elapsed.count(), int64_t{After - Before} * 1024};
}

TBytes Zeros(size_t Count) { return TBytes(Count, 0); }

struct TBomb {
  const char* Name;
  TBytes File;
  int Status;          // what vqzconv info ends with
  int64_t ImageMemory; // bytes of image memory the file may rightly cost
};

std::vector<TBomb> Bombs() {
  TPngBuilder ManyHeaders;
  for (int Index = 0; Index < 16; ++Index)
    ManyHeaders.Header(65535, 32767, 8, COLOR_GRAYSCALE);
  return {
      {"30000 x 30000 grey with two rows of data",
       TPngBuilder().Header(30000, 30000, 8, COLOR_GRAYSCALE).Data(Zeros(2 * 30001)).End().Bytes(),
       ExitOk, int64_t{30000} * 30000},
      {"20000 x 20000 interlaced truecolour with little data",
       TPngBuilder().Header(20000, 20000, 8, COLOR_RGB, 1).Data(Zeros(1000)).End().Bytes(), ExitOk,
       int64_t{20000} * 20000 * 3},
      {"65535 x 65535 with alpha", TPngBuilder().Header(65535, 65535, 16, COLOR_RGBALPHA).End().Bytes(),
       ExitFailed, 0},
      {"sixteen headers of 65535 x 32767", ManyHeaders.End().Bytes(), ExitFailed,
       int64_t{65536} * 32767},
      {"1 x 1 with 64 MiB of image data",
       TPngBuilder().Header(1, 1, 8, COLOR_GRAYSCALE).Data(Zeros(size_t{64} << 20)).End().Bytes(),
       ExitOk, 4},
      {"64 MiB of zTXt text",
       TPngBuilder()
           .Header(1, 1, 8, COLOR_GRAYSCALE)
           .Chunk("zTXt", [] {
             TBytes Body{'b', 'o', 'm', 'b', 0, 0};
             const TBytes Text = Compress(TBytes(size_t{64} << 20, 'a'));
             Body.insert(Body.end(), Text.begin(), Text.end());
             return Body;
           }())
           .Data({0, 0})
           .End()
           .Bytes(),
       ExitOk, 4},
  };
}

// The sanitizers' allocator zeroes what the codec asks for lazily zeroed, and checks every byte
// it touches: there the bound on time is looser.
#ifdef __SANITIZE_ADDRESS__
constexpr double MaxSeconds = 10;
#else
constexpr double MaxSeconds = 2;
#endif

TEST(Bombs, EndInBoundedTimeAndMemory) {
  TScratchDir Dir;
  const int64_t Slack = int64_t{64} << 20;
  for (const TBomb& Bomb : Bombs()) {
    const TMeasured Run = MeasureInfo(Dir.Write("bomb.png", Bomb.File), Dir.PathOf("report"));
    EXPECT_EQ(Run.Status, Bomb.Status) << Bomb.Name;
    EXPECT_LT(Run.Seconds, MaxSeconds) << Bomb.Name;
    EXPECT_LE(Run.PeakBytes, Bomb.ImageMemory + Slack) << Bomb.Name;
    std::printf("%-55s %6zu bytes: %.3f s, resident peak +%lld KiB\n", Bomb.Name,
                Bomb.File.size(), Run.Seconds, static_cast<long long>(Run.PeakBytes / 1024));
  }
}

} // namespace
