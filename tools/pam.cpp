#include "tools/pam.h"

#include <string>
#include <vector>

namespace {

uint32_t IndexAt(const uint8_t* Row, int BitCount, uint32_t X) {
  switch (BitCount) {
  case 1:
    return Row[X / 8] >> (7 - X % 8) & 1u;
  case 4:
    return X % 2 == 0 ? Row[X / 2] >> 4 : Row[X / 2] & 0x0Fu;
  default:
    return Row[X];
  }
}

// Where each pixel's alpha comes from.
struct TAlphaSource {
  const TChunktRNS* Palette = nullptr; // alpha by index
  bool Keyed = false;                  // 0 for the key: a grey index, or a truecolour colour
  int KeyIndex = -1;
  COLORREF Key = 0;
};

TAlphaSource AlphaSourceOf(const TPNGObject& Image) {
  const TChunkIHDR& H = Image.Header();
  const auto* Transparency =
      static_cast<const TChunktRNS*>(Image.ChunkList.ItemOfClass(TChunktRNS::ClassInfo));
  if (H.ColorType == COLOR_PALETTE)
    return {Transparency, false, -1, 0};
  if (H.HasAlpha() || Image.TransparencyKind() != trColorKey)
    return {};
  return {nullptr, true, Transparency->KeyIndex(), Image.ImageKeyColor() & 0xFFFFFF};
}

// A grey level shown like the key's is no key: only the key's own sample is clear.
bool IsKey(const TAlphaSource& Source, int BitCount, uint32_t Index, const uint8_t* Rgb) {
  if (BitCount != 24)
    return static_cast<int>(Index) == Source.KeyIndex;
  return RGB(Rgb[0], Rgb[1], Rgb[2]) == Source.Key;
}

void PutRow(const TChunkIHDR& H, const TAlphaSource& Source, uint32_t Y, uint8_t* Out) {
  const uint8_t* Row = H.ImageRow(Y);
  const uint8_t* Alpha = H.AlphaPlane != nullptr ? H.AlphaRow(Y) : nullptr;
  const int BitCount = H.BitCount();
  for (uint32_t X = 0; X < H.Width; ++X, Out += 4) {
    uint32_t Index = 0;
    if (BitCount == 24) {
      Out[0] = Row[3 * X + 2], Out[1] = Row[3 * X + 1], Out[2] = Row[3 * X];
    } else {
      Index = IndexAt(Row, BitCount, X);
      const RGBQUAD& Entry = H.DibInfo.bmiColors[Index];
      Out[0] = Entry.rgbRed, Out[1] = Entry.rgbGreen, Out[2] = Entry.rgbBlue;
    }
    if (Alpha != nullptr)
      Out[3] = Alpha[X];
    else if (Source.Palette != nullptr)
      Out[3] = Source.Palette->AlphaTable[Index];
    else if (Source.Keyed)
      Out[3] = IsKey(Source, BitCount, Index, Out) ? 0 : 255;
    else
      Out[3] = 255;
  }
}

} // namespace

void WritePam(const TPNGObject& Image, TStream& Out) {
  const TChunkIHDR& H = Image.Header();
  if (!H.ImageMemoryUsable() || H.Width == 0 || H.Height == 0)
    throw EInvalidGraphic("The image has no pixels, which a PAM file cannot hold");
  const int BitCount = H.BitCount();
  if (BitCount != 1 && BitCount != 4 && BitCount != 8 && BitCount != 24)
    throw EInvalidGraphic("The image memory has an unknown layout");
  const std::string Header = "P7\nWIDTH " + std::to_string(H.Width) + "\nHEIGHT " +
                             std::to_string(H.Height) +
                             "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  Out.WriteBuffer(Header.data(), static_cast<int32_t>(Header.size()));
  const TAlphaSource Source = AlphaSourceOf(Image);
  std::vector<uint8_t> Row(size_t{H.Width} * 4);
  for (uint32_t Y = 0; Y < H.Height; ++Y) {
    PutRow(H, Source, Y, Row.data());
    Out.WriteBuffer(Row.data(), static_cast<int32_t>(Row.size()));
  }
}
