#include "tools/pam.h"

#include "tools/shown.h"

#include <string>
#include <vector>

void WritePam(const TPNGObject& Image, TStream& Out) {
  const TShownPixels Pixels(Image);
  const std::string Header = "P7\nWIDTH " + std::to_string(Pixels.Width()) + "\nHEIGHT " +
                             std::to_string(Pixels.Height()) +
                             "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  Out.WriteBuffer(Header.data(), static_cast<int32_t>(Header.size()));
  std::vector<uint8_t> Row(size_t{Pixels.Width()} * 4);
  for (uint32_t Y = 0; Y < Pixels.Height(); ++Y) {
    Pixels.ReadRow(Y, Row.data());
    Out.WriteBuffer(Row.data(), static_cast<int32_t>(Row.size()));
  }
}
