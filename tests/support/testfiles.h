// Helpers the tests share: scratch files, open-descriptor counts and streams that misbehave.
#pragma once

#include "platform/core/classes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using TBytes = std::vector<uint8_t>;

// A directory of its own for one test, removed with everything in it when the object goes.
class TScratchDir {
public:
  TScratchDir();
  ~TScratchDir();
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;

  std::string PathOf(const std::string& Name) const;
  std::string Write(const std::string& Name, const TBytes& Bytes) const;

private:
  std::filesystem::path FRoot;
};

// The message of the E that Action raises; a test failure, and "", when it raises nothing.
template <class E, class TAction>
std::string MessageOf(TAction&& Action) {
  try {
    Action();
  } catch (const E& Error) {
    return Error.Message();
  }
  ADD_FAILURE() << "no exception";
  return "";
}

// Whether Text holds Part: for EXPECT_PRED2, which shows both when it does not.
bool Contains(const std::string& Text, const std::string& Part);

// The bytes of a file; a file that cannot be read raises.
TBytes ReadFileBytes(const std::string& Path);

// A VQZ container: Offset bytes, whose byte 16 holds Offset, then Picture.
TBytes VqzOf(const TBytes& Picture, uint8_t Offset);

// Count bytes drawn from Generator.
TBytes RandomBytes(std::mt19937& Generator, size_t Count);

// The number of file descriptors this process holds open.
int OpenDescriptorCount();

// The bytes a memory stream holds.
TBytes StreamBytes(const TMemoryStream& Stream);
TMemoryStream& FillStream(TMemoryStream& Stream, const TBytes& Bytes);

// A memory stream that delivers at most ChunkLimit bytes per Read, and none at all once
// FailAfter bytes have been read (a file that shrank under the reader); Writes likewise take at
// most ChunkLimit bytes and none after WriteLimit bytes in all (a disk that filled up).
class TTrickleStream : public TMemoryStream {
public:
  TTrickleStream(int32_t ChunkLimit, int64_t FailAfter, int64_t WriteLimit = INT64_MAX)
      : FChunkLimit(ChunkLimit), FReadLeft(FailAfter), FWriteLeft(WriteLimit) {}
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int32_t ReadCalls() const { return FReadCalls; }

private:
  int32_t FChunkLimit;
  int64_t FReadLeft;
  int64_t FWriteLeft;
  int32_t FReadCalls = 0;
};
