#include "platform/core/classes.h"
#include "platform/core/sysutils.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace {

// Named relative to a scratch folder: "" is the folder itself.
TEST(FileExists, IsTrueOnlyForRegularFilesFollowingLinks) {
  TScratchDir Dir;
  std::filesystem::create_symlink(Dir.Write("plain", {1}), Dir.PathOf("link"));
  std::filesystem::create_symlink(Dir.PathOf("gone"), Dir.PathOf("dangling"));
  ASSERT_EQ(::mkfifo(Dir.PathOf("fifo").c_str(), 0600), 0);
  const std::pair<const char*, bool> Cases[] = {{"plain", true},     {"link", true},
                                                {"fifo", false},     {"", false},
                                                {"dangling", false}, {"missing", false}};
  for (const auto& [Name, Expected] : Cases)
    EXPECT_EQ(FileExists(Dir.PathOf(Name)), Expected) << Name;
}

TEST(Exceptions, CarryTheirMessageAndShareTheBase) {
  const EFOpenError Open("Cannot open file \"a\". gone");
  const Exception& Base = Open;
  EXPECT_EQ(Base.Message(), "Cannot open file \"a\". gone");
  EXPECT_STREQ(Base.what(), "Cannot open file \"a\". gone");
  EXPECT_EQ(EOutOfMemory().Message(), "Out of memory");
}

// Small blocks, and large ones whose middle asks for huge pages, alike: zeroed, writable to
// their last byte, released by free.
TEST(AllocateZeroedBlock, GivesZeroedWritableBlocksOfEverySize) {
  for (const size_t Bytes : {size_t{1}, size_t{4096}, size_t{4} << 20, (size_t{9} << 20) + 123}) {
    auto* Block = static_cast<uint8_t*>(AllocateZeroedBlock(Bytes));
    ASSERT_NE(Block, nullptr) << Bytes;
    for (size_t At = 0; At < Bytes; At += 4093)
      ASSERT_EQ(Block[At], 0) << At << " of " << Bytes;
    EXPECT_EQ(Block[Bytes - 1], 0);
    Block[Bytes - 1] = 0xA5; // the sanitizers check that this is inside the block
    std::free(Block);
  }
}

} // namespace
