#include "tests/support/testfiles.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <unistd.h>

TScratchDir::TScratchDir() {
  std::random_device Seed;
  FRoot = std::filesystem::temp_directory_path() /
          ("vqz-test-" + std::to_string(::getpid()) + "-" + std::to_string(Seed()));
  std::filesystem::create_directories(FRoot);
}

TScratchDir::~TScratchDir() {
  std::error_code Ignored;
  std::filesystem::remove_all(FRoot, Ignored);
}

std::string TScratchDir::PathOf(const std::string& Name) const {
  return (FRoot / Name).string();
}

std::string TScratchDir::Write(const std::string& Name, const TBytes& Bytes) const {
  const std::string Path = PathOf(Name);
  std::ofstream Out(Path, std::ios::binary);
  Out.write(reinterpret_cast<const char*>(Bytes.data()),
            static_cast<std::streamsize>(Bytes.size()));
  return Path;
}

bool Contains(const std::string& Text, const std::string& Part) {
  return Text.find(Part) != std::string::npos;
}

TBytes ReadFileBytes(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  if (!In)
    throw std::runtime_error("cannot read " + Path);
  return TBytes(std::istreambuf_iterator<char>(In), {});
}

TBytes VqzOf(const TBytes& Picture, uint8_t Offset) {
  TBytes Container(Offset, 0x5A);
  Container[16] = Offset;
  Container.insert(Container.end(), Picture.begin(), Picture.end());
  return Container;
}

int OpenDescriptorCount() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                        std::filesystem::directory_iterator{}));
}

TBytes StreamBytes(const TMemoryStream& Stream) {
  const auto* Begin = Stream.Memory();
  return TBytes(Begin, Begin + const_cast<TMemoryStream&>(Stream).GetSize());
}

TMemoryStream& FillStream(TMemoryStream& Stream, const TBytes& Bytes) {
  Stream.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  Stream.SetPosition(0);
  return Stream;
}

int32_t TTrickleStream::Read(void* Buffer, int32_t Count) {
  ++FReadCalls;
  const auto Allowed = static_cast<int32_t>(std::min<int64_t>({Count, FChunkLimit, FReadLeft}));
  const int32_t Got = TMemoryStream::Read(Buffer, Allowed);
  FReadLeft -= Got;
  return Got;
}

int32_t TTrickleStream::Write(const void* Buffer, int32_t Count) {
  const auto Allowed = static_cast<int32_t>(std::min<int64_t>({Count, FChunkLimit, FWriteLeft}));
  const int32_t Put = TMemoryStream::Write(Buffer, Allowed);
  FWriteLeft -= Put;
  return Put;
}

TBytes RandomBytes(std::mt19937& Generator, size_t Count) {
  TBytes Bytes(Count);
  for (uint8_t& Byte : Bytes)
    Byte = static_cast<uint8_t>(Generator());
  return Bytes;
}
