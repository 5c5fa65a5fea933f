// The Paeth predictor as the PNG standard writes it, and rows made with it, against which the
// fast unfiltering is checked for every (left, up, upper-left) triple.
#pragma once

#include <cstdint>
#include <vector>

using TBytes = std::vector<uint8_t>;

uint8_t TextbookPaeth(int Left, int Above, int UpperLeft);
// Every ordered pair of bytes once as neighbours (a de Bruijn sequence), 65537 bytes.
TBytes EveryPairOnce();
// The row filtered with Paeth by the textbook predictor so that it undoes to Decoded under Up.
TBytes PaethFiltered(const TBytes& Decoded, const TBytes& Up, uint32_t Stride);
