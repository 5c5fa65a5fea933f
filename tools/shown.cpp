#include "tools/shown.h"

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

const TChunkIHDR& UsableHeader(const TPNGObject& Image) {
  const TChunkIHDR& H = Image.Header();
  if (!H.ImageMemoryUsable() || H.Width == 0 || H.Height == 0)
    throw EInvalidGraphic("The image has no pixels");
  const int BitCount = H.BitCount();
  if (BitCount != 1 && BitCount != 4 && BitCount != 8 && BitCount != 24)
    throw EInvalidGraphic("The image memory has an unknown layout");
  return H;
}

} // namespace

TShownPixels::TShownPixels(const TPNGObject& Image) : FHeader(UsableHeader(Image)) {
  if (FHeader.ColorType == COLOR_PALETTE) {
    FPaletteAlpha = Image.ChunkList.ItemOf<TChunktRNS>();
    return;
  }
  if (FHeader.HasAlpha() || Image.TransparencyKind() != trColorKey)
    return;
  FKeyed = true;
  FKeyIndex = Image.ChunkList.ItemOf<TChunktRNS>()->KeyIndex();
  FKey = Image.ImageKeyColor() & 0xFFFFFF;
}

// A grey level shown like the key's is no key: only the key's own sample is clear.
bool TShownPixels::IsKey(uint32_t Index, const uint8_t* Rgb) const {
  if (FHeader.BitCount() != 24)
    return static_cast<int>(Index) == FKeyIndex;
  return RGB(Rgb[0], Rgb[1], Rgb[2]) == FKey;
}

void TShownPixels::ReadRow(uint32_t Y, uint8_t* Out) const {
  const uint8_t* Row = FHeader.ImageRow(Y);
  const uint8_t* Alpha = FHeader.AlphaPlane != nullptr ? FHeader.AlphaRow(Y) : nullptr;
  const int BitCount = FHeader.BitCount();
  for (uint32_t X = 0; X < FHeader.Width; ++X, Out += 4) {
    uint32_t Index = 0;
    if (BitCount == 24) {
      Out[0] = Row[3 * X + 2], Out[1] = Row[3 * X + 1], Out[2] = Row[3 * X];
    } else {
      Index = IndexAt(Row, BitCount, X);
      const RGBQUAD& Entry = FHeader.DibInfo.bmiColors[Index];
      Out[0] = Entry.rgbRed, Out[1] = Entry.rgbGreen, Out[2] = Entry.rgbBlue;
    }
    if (Alpha != nullptr)
      Out[3] = Alpha[X];
    else if (FPaletteAlpha != nullptr)
      Out[3] = FPaletteAlpha->AlphaTable[Index];
    else if (FKeyed)
      Out[3] = IsKey(Index, Out) ? 0 : 255;
    else
      Out[3] = 255;
  }
}
