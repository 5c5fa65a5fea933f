#include "png/pngunfilter.h"

#include "png/pngimage.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The predictor with the PNG standard's ties, without branches: p - a = b - c, p - b = a - c and
// p - c = a + b - 2c.
uint8_t Paeth(int Left, int Above, int UpperLeft) {
  const int ToLeft = std::abs(Above - UpperLeft);
  const int ToAbove = std::abs(Left - UpperLeft);
  const int ToUpperLeft = std::abs(Left + Above - 2 * UpperLeft);
  const int Nearer = ToAbove <= ToUpperLeft ? Above : UpperLeft;
  return static_cast<uint8_t>(ToLeft <= ToAbove && ToLeft <= ToUpperLeft ? Left : Nearer);
}

uint8_t StandardPaeth(int Left, int Above, int UpperLeft) {
  return PaethPredictor(static_cast<uint8_t>(Left), static_cast<uint8_t>(Above),
                        static_cast<uint8_t>(UpperLeft));
}

// With the pixel width S known at compile time, each pixel's channels are independent chains the
// compiler keeps in registers side by side; S = 0 takes the width from Stride.
template <uint32_t S, uint8_t (*Predict)(int, int, int)>
void Unfilter(uint8_t Type, uint32_t Stride, uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  const uint32_t s = S != 0 ? S : Stride;
  const uint32_t First = std::min(s, Count);
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
    for (uint32_t i = 0; i < First; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Up[i] / 2);
    for (uint32_t i = s; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + (Up[i] + Row[i - s]) / 2);
    break;
  case 4:
    for (uint32_t i = 0; i < First; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Up[i]);
    for (uint32_t i = s; i < Count; ++i)
      Row[i] = static_cast<uint8_t>(Row[i] + Predict(Row[i - s], Up[i], Up[i - s]));
    break;
  default:
    break;
  }
}

} // namespace

// The definition: any width, and the PNG standard's predictor as written.
void UnfilterRowPlain(uint8_t Type, uint32_t Stride, uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  Unfilter<0, StandardPaeth>(Type, Stride, Row, Up, Count);
}

void UnfilterRow(uint8_t Type, uint32_t Stride, uint8_t* Row, const uint8_t* Up, uint32_t Count) {
  switch (Stride) {
  case 1:
    return Unfilter<1, Paeth>(Type, Stride, Row, Up, Count);
  case 2:
    return Unfilter<2, Paeth>(Type, Stride, Row, Up, Count);
  case 3:
    return Unfilter<3, Paeth>(Type, Stride, Row, Up, Count);
  case 4:
    return Unfilter<4, Paeth>(Type, Stride, Row, Up, Count);
  case 6:
    return Unfilter<6, Paeth>(Type, Stride, Row, Up, Count);
  case 8:
    return Unfilter<8, Paeth>(Type, Stride, Row, Up, Count);
  default:
    return UnfilterRowPlain(Type, Stride, Row, Up, Count);
  }
}
