// Every saved fuzz finding, and every seed, goes through the fuzz targets' own harness in the
// normal builds: a finding aborts the test.
#include "fuzz/harness.h"
#include "tests/png/pngsuite_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using THarness = void (*)(const uint8_t*, size_t);

// Replays every file of the directories; returns how many there were.
int Replay(const std::vector<std::string>& Directories, THarness Harness) {
  int Count = 0;
  for (const std::string& Directory : Directories) {
    if (!std::filesystem::is_directory(Directory))
      continue;
    for (const auto& Entry : std::filesystem::directory_iterator(Directory)) {
      if (!Entry.is_regular_file() || Entry.path().extension() == ".md")
        continue;
      SCOPED_TRACE(Entry.path().string());
      const TBytes Bytes = ReadFileBytes(Entry.path().string());
      Harness(Bytes.data(), Bytes.size());
      ++Count;
    }
  }
  return Count;
}

TEST(FuzzReplay, PngFindingsAndSeeds) {
  EXPECT_GT(Replay({"fuzz/regressions/png", "fuzz/seeds/png", PngSuiteDir()}, FuzzPng), 170);
}

TEST(FuzzReplay, BitmapFindingsAndSeeds) {
  EXPECT_GT(Replay({"fuzz/regressions/bmp", "tests/data/bmp"}, FuzzBitmap), 20);
}

TEST(FuzzReplay, ContainerFindingsAndSeeds) {
  EXPECT_GE(Replay({"fuzz/regressions/vqz", "fuzz/seeds/vqz"}, FuzzContainer), 4);
}

// The structure-aware mutator leaves nothing but right CRCs behind.
TEST(FuzzReplay, FixedCrcsLoadWhereOnlyTheCrcWasWrong) {
  TBytes File = ReadFileBytes(PngSuiteDir() + "basn0g08.png");
  for (const size_t At : {size_t{29}, size_t{31}, File.size() - 2}) // CRC bytes only
    File[At] ^= 0x5A;
  EXPECT_EQ(FixPngCrcs(File.data(), File.size()), File.size());
  EXPECT_EQ(File, ReadFileBytes(PngSuiteDir() + "basn0g08.png"));
}

} // namespace
