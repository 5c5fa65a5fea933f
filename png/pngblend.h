// Alpha blending of one row of truecolour pixels (blue, green, red) over a row of a 32-bit
// buffer, whose fourth bytes are left alone. The plain routine is the definition; the fast one
// must give the same bytes.
#pragma once

#include <cstdint>

// Alpha none: the pixels are opaque.
void BlendTrueColourRowPlain(uint8_t* Under, const uint8_t* Row, const uint8_t* Alpha,
                             uint32_t Width);
void BlendTrueColourRow(uint8_t* Under, const uint8_t* Row, const uint8_t* Alpha, uint32_t Width);

// The blend of one channel: exact at both ends, alpha 255 gives S and 0 gives D.
constexpr uint8_t BlendChannel(uint32_t S, uint32_t D, uint32_t A) {
  return static_cast<uint8_t>((S * A + D * (255 - A) + 255) >> 8);
}
