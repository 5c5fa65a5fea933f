// Decompression bombs and huge headers, each given to vqzconv info: each ends within 2 seconds
// with an exception or a correct image, and the process's resident peak grows by at most the
// image memory plus 64 MiB.
#include "tests/png/png_builder.h"
#include "tests/support/testfiles.h"
#include "tools/vqzconv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace {

long PeakResidentKiB() {
  std::ifstream Status("/proc/self/status");
  for (std::string Line; std::getline(Status, Line);)
    if (Line.rfind("VmHWM:", 0) == 0)
      return std::stol(Line.substr(6));
  return -1;
}

// A picture whose image data is Zeros bytes of zeros, inflated, after a chunk of Chunk's type
// and body; nothing for 0 and "".
TBytes Png(uint32_t Width, uint32_t Height, uint8_t Depth, uint8_t ColorType, uint8_t Interlace,
           size_t Zeros, const std::string& Chunk = "", const TBytes& Body = {}) {
  TPngBuilder Builder;
  Builder.Header(Width, Height, Depth, ColorType, Interlace);
  if (!Chunk.empty())
    Builder.Chunk(Chunk, Body);
  if (Zeros > 0)
    Builder.Data(TBytes(Zeros, 0));
  return Builder.End().Bytes();
}

// The sanitizers' allocator zeroes what the codec asks for lazily zeroed, and checks every byte
// it touches: there the bound on time is looser.
#ifdef __SANITIZE_ADDRESS__
constexpr double MaxSeconds = 10;
#else
constexpr double MaxSeconds = 2;
#endif

TEST(Bombs, EndInBoundedTimeAndMemory) {
  TBytes TextBody{'b', 'o', 'm', 'b', 0, 0};
  const TBytes Text = Compress(TBytes(size_t{64} << 20, 'a'));
  TextBody.insert(TextBody.end(), Text.begin(), Text.end());
  TPngBuilder ManyHeaders;
  for (int Index = 0; Index < 16; ++Index)
    ManyHeaders.Header(65535, 32767, 8, COLOR_GRAYSCALE);
  // The name, the file, the status vqzconv info ends with, the image memory it may rightly cost.
  const std::tuple<const char*, TBytes, int, int64_t> Bombs[] = {
      {"30000 x 30000 grey with two rows of data",
       Png(30000, 30000, 8, COLOR_GRAYSCALE, 0, 2 * 30001), ExitOk, int64_t{30000} * 30000},
      {"20000 x 20000 interlaced truecolour with little data",
       Png(20000, 20000, 8, COLOR_RGB, 1, 1000), ExitOk, int64_t{20000} * 20000 * 3},
      {"65535 x 65535 with alpha", Png(65535, 65535, 16, COLOR_RGBALPHA, 0, 0), ExitFailed, 0},
      {"sixteen headers of 65535 x 32767", ManyHeaders.End().Bytes(), ExitFailed,
       int64_t{65536} * 32767},
      {"1 x 1 with 64 MiB of image data", Png(1, 1, 8, COLOR_GRAYSCALE, 0, size_t{64} << 20),
       ExitOk, 4},
      {"64 MiB of zTXt text", Png(1, 1, 8, COLOR_GRAYSCALE, 0, 2, "zTXt", TextBody), ExitOk, 4},
  };
  TScratchDir Dir;
  for (const auto& [Name, File, Status, ImageMemory] : Bombs) {
    const std::string Path = Dir.Write("bomb.png", File);
    std::ostringstream Out, Err;
    // Writing 5 there starts the peak afresh, at the present size.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long Before = PeakResidentKiB();
    const auto Start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunVqzconv({"info", Path}, Out, Err), Status) << Name;
    const std::chrono::duration<double> Seconds = std::chrono::steady_clock::now() - Start;
    const int64_t Growth = int64_t{PeakResidentKiB() - Before} * 1024;
    EXPECT_LT(Seconds.count(), MaxSeconds) << Name;
    EXPECT_LE(Growth, ImageMemory + (int64_t{64} << 20)) << Name;
    std::printf("%-55s %6zu bytes: %.3f s, resident peak +%lld KiB\n", Name, File.size(),
                Seconds.count(), static_cast<long long>(Growth / 1024));
  }
}

} // namespace
