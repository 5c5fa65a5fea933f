// Truecolour rows as the PNG standard stores them (red first, 8 or 16 bits a sample, alpha last)
// into the DIB's blue-first 8-bit pixels and the alpha plane, when no gamma table is in force.
// The plain routines are the definition; the fast ones must give the same bytes.
#pragma once

#include <cstdint>

void ReorderRgb8Plain(const uint8_t* Source, uint8_t* Dest, uint32_t Width);
void ReorderRgb8(const uint8_t* Source, uint8_t* Dest, uint32_t Width);
void ReorderRgba8Plain(const uint8_t* Source, uint8_t* Dest, uint8_t* Alpha, uint32_t Width);
void ReorderRgba8(const uint8_t* Source, uint8_t* Dest, uint8_t* Alpha, uint32_t Width);
// 16-bit samples keep their high bytes.
void ReorderRgb16Plain(const uint8_t* Source, uint8_t* Dest, uint32_t Width);
void ReorderRgb16(const uint8_t* Source, uint8_t* Dest, uint32_t Width);
// Count pixels of an Adam7 pass two columns apart: source pixel K lands at Dest + 6K, and the
// bytes between, other passes' pixels, stay as they are.
void ReorderRgb8EveryOtherPlain(const uint8_t* Source, uint8_t* Dest, uint32_t Count);
void ReorderRgb8EveryOther(const uint8_t* Source, uint8_t* Dest, uint32_t Count);
