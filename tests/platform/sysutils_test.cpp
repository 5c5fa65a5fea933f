#include "platform/core/classes.h"
#include "platform/core/sysutils.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <type_traits>

namespace {

TEST(FileExists, IsTrueOnlyForRegularFilesFollowingLinks) {
  TScratchDir Dir;
  const std::string File = Dir.Write("plain", {1});
  const std::string Fifo = Dir.PathOf("fifo");
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  std::filesystem::create_directory(Dir.PathOf("folder"));
  std::filesystem::create_symlink(File, Dir.PathOf("link"));
  std::filesystem::create_symlink(Dir.PathOf("gone"), Dir.PathOf("dangling"));

  const std::pair<std::string, bool> Cases[] = {
      {File, true},
      {Dir.PathOf("link"), true},
      {Fifo, false},
      {Dir.PathOf("folder"), false},
      {Dir.PathOf("dangling"), false},
      {Dir.PathOf("missing"), false},
      {"", false},
  };
  for (const auto& [Path, Expected] : Cases)
    EXPECT_EQ(FileExists(Path), Expected) << Path;
}

TEST(CompareMem, ComparesExactlyTheGivenLength) {
  const uint8_t A[] = {1, 2, 3, 4};
  const uint8_t B[] = {1, 2, 3, 5};
  EXPECT_TRUE(CompareMem(A, B, 3));
  EXPECT_FALSE(CompareMem(A, B, 4));
  EXPECT_TRUE(CompareMem(A, B + 1, 0));
  EXPECT_TRUE(CompareMem(A, B + 1, -3));
}

TEST(Exceptions, CarryTheirMessageAndShareTheBase) {
  const EFOpenError Open("Cannot open file \"a\". gone");
  const Exception& Base = Open;
  EXPECT_EQ(Base.Message(), "Cannot open file \"a\". gone");
  EXPECT_STREQ(Base.what(), "Cannot open file \"a\". gone");
  EXPECT_EQ(EInvalidCast().Message(), "Invalid class typecast");
  EXPECT_EQ(EOutOfMemory().Message(), "Out of memory");
  static_assert(std::is_base_of_v<EStreamError, EFOpenError>);
  static_assert(std::is_base_of_v<EStreamError, EReadError>);
  static_assert(std::is_base_of_v<EStreamError, EWriteError>);
  static_assert(std::is_base_of_v<Exception, EConvertError>);
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
    Block[Bytes - 1] = 0xA5;
    EXPECT_EQ(Block[Bytes - 1], 0xA5);
    std::free(Block);
  }
}

} // namespace
