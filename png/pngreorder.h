// 8-bit truecolour rows as the PNG standard stores them (red first, alpha last)
// into the DIB's blue-first 8-bit pixels and the alpha plane, when no gamma table is in force.
// The plain routines are the definition; the fast ones must give the same bytes.
#pragma once

#include <cstdint>

void ReorderRgb8Plain(const uint8_t* Source, uint8_t* Dest, uint32_t Width);
void ReorderRgb8(const uint8_t* Source, uint8_t* Dest, uint32_t Width);
void ReorderRgba8Plain(const uint8_t* Source, uint8_t* Dest, uint8_t* Alpha, uint32_t Width);
void ReorderRgba8(const uint8_t* Source, uint8_t* Dest, uint8_t* Alpha, uint32_t Width);

// The Pixels of an Adam7 pass's 8-bit RGB row reordered into DIB pixels Step (2, 4 or 8) apart,
// the first at Dest; the pixels between, stored by other passes, are left as they are.
void SpreadRgb8Plain(const uint8_t* Source, uint8_t* Dest, uint32_t Pixels, uint32_t Step);
void SpreadRgb8(const uint8_t* Source, uint8_t* Dest, uint32_t Pixels, uint32_t Step);
