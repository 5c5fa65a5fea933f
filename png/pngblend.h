// Alpha blending of one row of truecolour pixels (blue, green, red) over a row of a 32-bit
// buffer, whose fourth bytes are left alone. The plain routine is the definition; the fast one
// must give the same bytes.
#pragma once

#include <cstdint>

// Alpha none: the pixels are opaque.
void BlendTrueColourRowPlain(uint8_t* Under, const uint8_t* Row, const uint8_t* Alpha,
                             uint32_t Width);
void BlendTrueColourRow(uint8_t* Under, const uint8_t* Row, const uint8_t* Alpha, uint32_t Width);
