// Platform colours and the system colours they may name.
#include "platform/graphics/graphics.h"

#include <array>

namespace {

// The system colours of the platform's default scheme, by index.
constexpr std::array<COLORREF, 25> SystemColors{
    RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219),
    RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(180, 180, 180), RGB(244, 247, 252),
    RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255), RGB(240, 240, 240),
    RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
    RGB(255, 255, 225)};

} // namespace

COLORREF ColorToRGB(TColor Color) {
  if (Color >= 0)
    return static_cast<COLORREF>(Color) & 0x00FFFFFFu;
  const auto Index = static_cast<size_t>(Color & 0xFF);
  return Index < SystemColors.size() ? SystemColors[Index] : RGB(0, 0, 0);
}
