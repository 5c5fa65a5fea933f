#include "tests/png/paeth_oracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

uint8_t TextbookPaeth(int Left, int Above, int UpperLeft) {
  const int p = Left + Above - UpperLeft;
  const int pa = std::abs(p - Left), pb = std::abs(p - Above), pc = std::abs(p - UpperLeft);
  if (pa <= pb && pa <= pc)
    return static_cast<uint8_t>(Left);
  return static_cast<uint8_t>(pb <= pc ? Above : UpperLeft);
}

// The Lyndon words of length 1 and 2 in order, the first byte again at the end.
TBytes EveryPairOnce() {
  TBytes Sequence;
  for (int i = 0; i < 256; ++i) {
    Sequence.push_back(static_cast<uint8_t>(i));
    for (int j = i + 1; j < 256; ++j)
      Sequence.insert(Sequence.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(j)});
  }
  Sequence.push_back(0);
  std::vector<bool> Seen(65536);
  for (size_t i = 1; i < Sequence.size(); ++i)
    Seen[Sequence[i - 1] * 256u + Sequence[i]] = true;
  EXPECT_EQ(std::count(Seen.begin(), Seen.end(), true), 65536);
  return Sequence;
}

TBytes PaethFiltered(const TBytes& Decoded, const TBytes& Up, uint32_t Stride) {
  TBytes Row(Decoded.size());
  for (size_t i = 0; i < Row.size(); ++i) {
    const bool First = i < Stride;
    Row[i] = static_cast<uint8_t>(Decoded[i] - TextbookPaeth(First ? 0 : Decoded[i - Stride], Up[i],
                                                             First ? 0 : Up[i - Stride]));
  }
  return Row;
}
