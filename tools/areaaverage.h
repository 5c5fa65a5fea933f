// Downscaling by area average: each target pixel is the mean of the source area it covers, a
// source pixel cut by its edges counted by the part inside. Colours are weighted by their alpha,
// so that clear pixels lend no colour to their neighbours. Pixels are 8-bit red, green, blue,
// alpha; the arithmetic is exact in integers, rounded once at the end.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct TPictureSize {
  uint32_t Width = 0, Height = 0;
  bool operator==(const TPictureSize&) const = default;
};

// Fills Row, four bytes a pixel, with source row Y.
using TRowReader = std::function<void(uint32_t Y, uint8_t* Row)>;

// The target's pixels, top row first. It reads each source row once, top to bottom, and holds
// only a row of sums besides the result. To must be no larger than From either way (else
// std::invalid_argument); an empty To gives an empty result.
std::vector<uint8_t> AreaAverage(TPictureSize From, const TRowReader& ReadRow, TPictureSize To);

// The same by the definition, target pixel by target pixel over the whole source image: the
// plain twin the streaming one is tested against.
std::vector<uint8_t> AreaAveragePlain(TPictureSize From, const std::vector<uint8_t>& Pixels,
                                      TPictureSize To);
