// The Adler-32 check value on each processor path against its definition, a byte at a time.
#include "png/pngadler.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

uint32_t AdlerByDefinition(uint32_t Adler, const uint8_t* Bytes, size_t Count) {
  uint32_t First = Adler & 0xFFFFu, Second = Adler >> 16;
  for (size_t i = 0; i < Count; ++i) {
    First = (First + Bytes[i]) % 65521;
    Second = (Second + First) % 65521;
  }
  return Second << 16 | First;
}

// Every length up to a few vectors at every alignment of a vector, chained from a value of each
// sum near the modulus; then lengths around the paths' blocks, of bytes all 255, where the sums
// grow fastest.
TEST(Adler32, EveryPathEqualsTheDefinition) {
  std::mt19937 Generator(5);
  std::vector<uint8_t> Noise(70000);
  for (uint8_t& Byte : Noise)
    Byte = static_cast<uint8_t>(Generator());
  const std::vector<uint8_t> Full(3 * 32768 + 200, 255);
  for (const TAdlerPath Path : {apIsal, apAvx512Vnni}) {
    uint32_t Probe = 1;
    // ISA-L's routine is there in every build that has this file.
    if (!UpdateAdler32On(Path, Probe, nullptr, 0)) {
      EXPECT_NE(Path, apIsal);
      continue;
    }
    const auto Expect = [&](const std::vector<uint8_t>& Bytes, size_t Offset, size_t Count,
                            uint32_t Start) {
      uint32_t Adler = Start;
      ASSERT_TRUE(UpdateAdler32On(Path, Adler, Bytes.data() + Offset, Count));
      ASSERT_EQ(Adler, AdlerByDefinition(Start, Bytes.data() + Offset, Count))
          << "path " << Path << ", " << Count << " bytes at " << Offset;
    };
    for (size_t Count = 0; Count <= 300; ++Count)
      for (size_t Offset = 0; Offset < 64; Offset += 7)
        Expect(Noise, Offset, Count, 65520u << 16 | 65519u);
    for (const size_t Count : {size_t{32767}, size_t{32768}, size_t{32769}, size_t{32768 + 63},
                               size_t{65600}, Full.size()}) {
      Expect(Full, 0, Count, 1);
      Expect(Full, 0, Count, 65520u << 16 | 65520u);
    }
    Expect(Noise, 3, Noise.size() - 3, 1);
  }
  EXPECT_EQ(UpdateAdler32(1, Noise.data(), Noise.size()),
            AdlerByDefinition(1, Noise.data(), Noise.size()));
}

} // namespace
