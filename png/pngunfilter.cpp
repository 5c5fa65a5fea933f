#include "png/pngunfilter.h"

#include "png/pngimage.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The predictor with the PNG standard's ties, without branches: p - a = b - c, p - b = a - c and
// p - c = a + b - 2c.
inline uint8_t Paeth(int Left, int Above, int UpperLeft) {
  const int ToLeft = std::abs(Above - UpperLeft);
  const int ToAbove = std::abs(Left - UpperLeft);
  const int ToUpperLeft = std::abs(Left + Above - 2 * UpperLeft);
  const int Nearer = ToAbove <= ToUpperLeft ? Above : UpperLeft;
  return static_cast<uint8_t>(ToLeft <= ToAbove && ToLeft <= ToUpperLeft ? Left : Nearer);
}

// With the pixel width known at compile time, each pixel's channels are independent chains the
// compiler keeps in registers side by side.
template <uint32_t S>
void Unfilter(uint8_t Type, uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  const uint32_t First = std::min(S, Count);
  switch (Type) {
  case 1:
    for (uint32_t i = S; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Row[i - S]);
    break;
  case 2:
    for (uint32_t i = 0; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Up[i]);
    break;
  case 3:
    for (uint32_t i = 0; i < First; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Up[i] / 2);
    for (uint32_t i = S; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + (Up[i] + Row[i - S]) / 2);
    break;
  case 4:
    for (uint32_t i = 0; i < First; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Up[i]);
    for (uint32_t i = S; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Paeth(Row[i - S], Up[i], Up[i - S]));
    break;
  default:
    break;
  }
}

} // namespace

void UnfilterRowPlain(uint8_t Type, uint32_t Stride, uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  const uint32_t s = std::min(Stride, Count);
  switch (Type) {
  case 1:
    for (uint32_t i = s; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Row[i - s]);
    break;
  case 2:
    for (uint32_t i = 0; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Up[i]);
    break;
  case 3:
    for (uint32_t i = 0; i < s; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Up[i] / 2);
    for (uint32_t i = s; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + (Up[i] + Row[i - s]) / 2);
    break;
  case 4:
    for (uint32_t i = 0; i < s; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Up[i]);
    for (uint32_t i = s; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + PaethPredictor(Row[i - s], Up[i], Up[i - s]));
    break;
  default:
    break;
  }
}

void UnfilterRow(uint8_t Type, uint32_t Stride, uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  switch (Stride) {
  case 1:
    return Unfilter<1>(Type, Row, Up, Count);
  case 2:
    return Unfilter<2>(Type, Row, Up, Count);
  case 3:
    return Unfilter<3>(Type, Row, Up, Count);
  case 4:
    return Unfilter<4>(Type, Row, Up, Count);
  case 6:
    return Unfilter<6>(Type, Row, Up, Count);
  case 8:
    return Unfilter<8>(Type, Row, Up, Count);
  default:
    return UnfilterRowPlain(Type, Stride, Row, Up, Count);
  }
}
