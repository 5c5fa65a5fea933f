// The palette and transparency chunks, and the image's transparency as they make it.
#include "png/pngframe.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool IsGreyscale(const TChunkIHDR* Header) {
  return Header != nullptr &&
         (Header->ColorType == COLOR_GRAYSCALE || Header->ColorType == COLOR_GRAYSCALEALPHA);
}

const TChunkPLTE* PaletteOf(const TPNGObject* Owner) {
  return Owner == nullptr ? nullptr : Owner->ChunkList.ItemOf<TChunkPLTE>();
}

// The value in 0..255 whose gamma-corrected form is nearest to Shown, the lowest on ties.
uint8_t SampleShownAs(const std::array<uint8_t, 256>& Gamma, uint8_t Shown) {
  int Best = 0;
  for (int v = 1; v < 256; ++v)
    if (std::abs(Gamma[static_cast<size_t>(v)] - Shown) <
        std::abs(Gamma[static_cast<size_t>(Best)] - Shown))
      Best = v;
  return static_cast<uint8_t>(Best);
}

} // namespace

bool TChunkPLTE::LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) {
  if (!TChunk::LoadChunk(Stream, Tag, Size))
    return false;
  if (Size % 3 != 0 || Size / 3 > 256)
    TPNGObject::RaisePngError<EPNGInvalidPalette>(PngMessage(MsgInvalidPalette));
  EntryCount = Size / 3;
  TChunkIHDR* Header = OwnerHeader();
  // A grey image shows its samples through its ramp: a palette there is kept as read only.
  if (Header == nullptr || IsGreyscale(Header))
    return true;
  const auto& Gamma = OwnerImage()->GammaLut;
  const uint8_t* Body = ChunkBody();
  for (int32_t i = 0; i < EntryCount; ++i)
    Header->DibInfo.bmiColors[i] = {Gamma[Body[3 * i + 2]], Gamma[Body[3 * i + 1]],
                                    Gamma[Body[3 * i]], 0};
  return true;
}

bool TChunkPLTE::SaveChunk(TStream& Stream) {
  const TChunkIHDR* Header = OwnerHeader();
  if (Header == nullptr || IsGreyscale(Header))
    return TChunk::SaveChunk(Stream);
  ResizeBody(3 * EntryCount);
  const auto& Inverse = OwnerImage()->InverseGammaLut;
  uint8_t* Body = ChunkBody();
  for (int32_t i = 0; i < EntryCount; ++i) {
    const RGBQUAD& Entry = Header->DibInfo.bmiColors[i];
    Body[3 * i] = Inverse[Entry.rgbRed];
    Body[3 * i + 1] = Inverse[Entry.rgbGreen];
    Body[3 * i + 2] = Inverse[Entry.rgbBlue];
  }
  return TChunk::SaveChunk(Stream);
}

// The entries travel with the header's colour table; the body only matters where it is kept as
// read.
void TChunkPLTE::AssignChunk(const TChunk& Source) {
  const auto& Other = CheckedSource<TChunkPLTE>(Source);
  TChunk::AssignChunk(Other);
  EntryCount = Other.EntryCount;
}

uint32_t TChunkPLTE::GetEntry(uint8_t Index) const {
  const TChunkIHDR* Header = OwnerHeader();
  if (Header == nullptr || Index >= EntryCount)
    TPNGObject::RaisePngError<EPngError>(PngMessage(MsgNoSuchPaletteEntry));
  const RGBQUAD& Entry = Header->DibInfo.bmiColors[Index];
  return Entry.rgbBlue | (uint32_t{Entry.rgbGreen} << 8) | (uint32_t{Entry.rgbRed} << 16);
}

bool TChunktRNS::LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) {
  if (!TChunk::LoadChunk(Stream, Tag, Size))
    return false;
  if (Size > 256)
    TPNGObject::RaisePngError<EPNGInvalidPalette>(PngMessage(MsgInvalidPalette));
  AlphaTable.fill(255);
  std::copy_n(ChunkBody(), Size, AlphaTable.begin());
  const TChunkIHDR* Header = OwnerHeader();
  if (Header == nullptr)
    return true;
  if (Header->ColorType == COLOR_GRAYSCALE || Header->ColorType == COLOR_RGB)
    BinaryTransparency = true;
  else if (Header->ColorType == COLOR_PALETTE)
    BinaryTransparency = std::count_if(AlphaTable.begin(), AlphaTable.begin() + Size,
                                       [](uint8_t A) { return A != 255; }) == 1;
  return true;
}

// A valid key is written the way the pixels are: 16-bit samples as their high byte x 257,
// colour samples through the gamma the writer undoes.
void TChunktRNS::RewriteKeyAsWritten() {
  const TChunkIHDR& Header = *OwnerHeader();
  const bool Deep = Header.BitDepth == 16;
  const auto& Gamma = OwnerImage()->GammaLut;
  const auto& Inverse = OwnerImage()->InverseGammaLut;
  const int Samples = Header.ColorType == COLOR_RGB ? 3 : 1;
  for (int i = 0; i < Samples; ++i) {
    const uint16_t Sample = KeySample(i);
    uint32_t Value = Deep ? Sample >> 8 : Sample;
    if (Header.ColorType == COLOR_RGB)
      Value = Inverse[Gamma[Value]];
    PutBigEndian16(AlphaTable.data() + 2 * i, Deep ? Value * 257 : Value);
  }
}

bool TChunktRNS::SaveChunk(TStream& Stream) {
  if (HasValidKey())
    RewriteKeyAsWritten();
  if (ChunkBodySize() <= 256)
    std::copy_n(AlphaTable.begin(), ChunkBodySize(), ChunkBody());
  return TChunk::SaveChunk(Stream);
}

void TChunktRNS::AssignChunk(const TChunk& Source) {
  const auto& Other = CheckedSource<TChunktRNS>(Source);
  AlphaTable = Other.AlphaTable;
  BinaryTransparency = Other.BinaryTransparency;
  TChunk::AssignChunk(Source);
}

uint16_t TChunktRNS::KeySample(int Index) const {
  return BigEndian16(AlphaTable.data() + 2 * Index);
}

bool TChunktRNS::HasValidKey() const {
  const TChunkIHDR* Header = OwnerHeader();
  if (Header == nullptr)
    return false;
  const uint32_t Limit = 1u << Header->BitDepth;
  if (Header->ColorType == COLOR_GRAYSCALE)
    return ChunkBodySize() == 2 && KeySample(0) < Limit;
  if (Header->ColorType == COLOR_RGB)
    return ChunkBodySize() == 6 && KeySample(0) < Limit && KeySample(1) < Limit &&
           KeySample(2) < Limit;
  return false;
}

// An entry that no pixel of the bit depth can hold is never shown, so its alpha counts for
// nothing.
int32_t TChunktRNS::PaletteEntriesCovered() const {
  const TChunkPLTE* Palette = PaletteOf(OwnerImage());
  const TChunkIHDR* Header = OwnerHeader();
  const int32_t Storable = Header != nullptr && Header->BitDepth < 8 ? 1 << Header->BitDepth : 256;
  return std::clamp(
      std::min({ChunkBodySize(), Palette != nullptr ? Palette->EntryCount : 0, Storable}), 0, 256);
}

int TChunktRNS::TranslucentPaletteEntries() const {
  return static_cast<int>(std::count_if(AlphaTable.begin(),
                                        AlphaTable.begin() + PaletteEntriesCovered(),
                                        [](uint8_t A) { return A < 255; }));
}

// Grey samples are held as their high byte, 2-bit ones as 0, 5, 10, 15.
int TChunktRNS::StoredGreyIndex(uint16_t Sample) const {
  const TChunkIHDR& Header = *OwnerHeader();
  return Header.BitDepth == 16 ? Sample >> 8 : Header.BitDepth == 2 ? Sample * 5 : Sample;
}

// The grey level a key sample is shown as: the colour-table entry of the index it is stored as.
uint8_t TChunktRNS::ShownGrey(uint16_t Sample) const {
  return OwnerHeader()->DibInfo.bmiColors[StoredGreyIndex(Sample)].rgbRed;
}

int TChunktRNS::KeyIndex() const {
  const TChunkIHDR* Header = OwnerHeader();
  if (Header == nullptr)
    return -1;
  if (Header->ColorType == COLOR_PALETTE) {
    for (int32_t i = 0; i < PaletteEntriesCovered(); ++i)
      if (AlphaTable[static_cast<size_t>(i)] == 0)
        return i;
    return -1;
  }
  return Header->ColorType == COLOR_GRAYSCALE && HasValidKey() ? StoredGreyIndex(KeySample(0)) : -1;
}

COLORREF TChunktRNS::GetKeyColor() const {
  const TChunkIHDR* Header = OwnerHeader();
  if (Header == nullptr)
    return 0;
  if (Header->ColorType == COLOR_PALETTE) {
    const int Index = KeyIndex();
    return Index >= 0 ? ColorOfEntry(Header->DibInfo.bmiColors[Index]) : 0;
  }
  if (!HasValidKey())
    return 0;
  if (Header->ColorType == COLOR_GRAYSCALE) {
    const uint8_t Grey = ShownGrey(KeySample(0));
    return RGB(Grey, Grey, Grey);
  }
  const auto& Gamma = OwnerImage()->GammaLut;
  const auto Shown = [&](int Index) {
    const uint16_t Sample = KeySample(Index);
    return Gamma[Header->BitDepth == 16 ? Sample >> 8 : Sample];
  };
  return RGB(Shown(0), Shown(1), Shown(2));
}

// Stores the sample the image would show as Color (the nearest one where none matches).
void TChunktRNS::SetKeyColor(COLORREF Color) {
  AlphaTable.fill(0);
  BinaryTransparency = true;
  const TChunkIHDR* Header = OwnerHeader();
  if (Header == nullptr)
    return;
  const bool Deep = Header->BitDepth == 16;
  if (Header->ColorType == COLOR_GRAYSCALE) {
    ResizeBody(2);
    const uint32_t Levels = Deep ? 256 : 1u << Header->BitDepth;
    uint32_t Best = 0;
    for (uint32_t s = 1; s < Levels; ++s)
      if (std::abs(ShownGrey(static_cast<uint16_t>(Deep ? s << 8 : s)) - GetRValue(Color)) <
          std::abs(ShownGrey(static_cast<uint16_t>(Deep ? Best << 8 : Best)) - GetRValue(Color)))
        Best = s;
    PutBigEndian16(AlphaTable.data(), Deep ? Best * 257 : Best);
  } else if (Header->ColorType == COLOR_RGB) {
    ResizeBody(6);
    const auto& Gamma = OwnerImage()->GammaLut;
    const uint8_t Channels[3] = {GetRValue(Color), GetGValue(Color), GetBValue(Color)};
    for (int c = 0; c < 3; ++c) {
      const uint32_t Sample = SampleShownAs(Gamma, Channels[c]);
      PutBigEndian16(AlphaTable.data() + 2 * c, Deep ? Sample * 257 : Sample);
    }
  } else if (Header->ColorType == COLOR_PALETTE) {
    const TChunkPLTE* Palette = PaletteOf(OwnerImage());
    const int32_t Entries = Palette != nullptr ? Palette->EntryCount : 0;
    const int32_t Found = std::max(0, ExactColorIndex(Header->DibInfo.bmiColors, Entries, Color));
    std::fill_n(AlphaTable.begin(), Found, uint8_t{255});
    ResizeBody(Found + 1);
  }
}

TTransparencyKind TPNGObject::TransparencyKind() const {
  const TChunkIHDR& H = Header();
  const auto* Transparency = ChunkList.ItemOf<TChunktRNS>();
  switch (H.ColorType) {
  case COLOR_GRAYSCALE:
  case COLOR_RGB:
    return Transparency != nullptr && Transparency->HasValidKey() ? trColorKey : trOpaque;
  case COLOR_PALETTE: {
    if (Transparency == nullptr)
      return trOpaque;
    const int Translucent = Transparency->TranslucentPaletteEntries();
    if (Translucent == 0)
      return trOpaque;
    // One entry, fully clear, is a colour key; any partial alpha needs blending.
    const bool OneClearEntry = Translucent == 1 && Transparency->KeyIndex() >= 0;
    return OneClearEntry ? trColorKey : trAlpha;
  }
  case COLOR_GRAYSCALEALPHA:
  case COLOR_RGBALPHA:
    return trAlpha;
  default:
    return trOpaque;
  }
}

COLORREF TPNGObject::ImageKeyColor() const {
  const auto* Transparency = ChunkList.ItemOf<TChunktRNS>();
  return Transparency != nullptr ? Transparency->GetKeyColor() : 0;
}
