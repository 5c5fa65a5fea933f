// Row decoders: one unfiltered PNG row, or one row of an Adam7 pass, into the image memory.
// True-colour samples go through the gamma table; 16-bit samples keep their high byte; alpha
// goes to the alpha plane unchanged; grey and palette samples are stored as DIB indices.
#include "png/pngimage.h"

#include <cstring>

namespace {

// Each pixel layout is one function storing source pixel K at image column C.
using TPixelStore = void (*)(const uint8_t* Gamma, const uint8_t* Source, int32_t K,
                             uint8_t* Dest, uint8_t* Alpha, int32_t C);

void PutGray16(const uint8_t*, const uint8_t* Source, int32_t K, uint8_t* Dest, uint8_t*,
               int32_t C) {
  Dest[C] = Source[2 * K];
}

void PutRgb(const uint8_t* Gamma, const uint8_t* Pixel, int BytesPerSample, uint8_t* Dest,
            int32_t C) {
  Dest[3 * C] = Gamma[Pixel[2 * BytesPerSample]];
  Dest[3 * C + 1] = Gamma[Pixel[BytesPerSample]];
  Dest[3 * C + 2] = Gamma[Pixel[0]];
}

void PutRgb8(const uint8_t* Gamma, const uint8_t* Source, int32_t K, uint8_t* Dest, uint8_t*,
             int32_t C) {
  PutRgb(Gamma, Source + 3 * K, 1, Dest, C);
}

void PutRgb16(const uint8_t* Gamma, const uint8_t* Source, int32_t K, uint8_t* Dest, uint8_t*,
              int32_t C) {
  PutRgb(Gamma, Source + 6 * K, 2, Dest, C);
}

void PutGrayAlpha8(const uint8_t*, const uint8_t* Source, int32_t K, uint8_t* Dest,
                   uint8_t* Alpha, int32_t C) {
  Dest[C] = Source[2 * K];
  Alpha[C] = Source[2 * K + 1];
}

void PutGrayAlpha16(const uint8_t*, const uint8_t* Source, int32_t K, uint8_t* Dest,
                    uint8_t* Alpha, int32_t C) {
  Dest[C] = Source[4 * K];
  Alpha[C] = Source[4 * K + 2];
}

void PutRgba8(const uint8_t* Gamma, const uint8_t* Source, int32_t K, uint8_t* Dest,
              uint8_t* Alpha, int32_t C) {
  PutRgb(Gamma, Source + 4 * K, 1, Dest, C);
  Alpha[C] = Source[4 * K + 3];
}

void PutRgba16(const uint8_t* Gamma, const uint8_t* Source, int32_t K, uint8_t* Dest,
               uint8_t* Alpha, int32_t C) {
  PutRgb(Gamma, Source + 8 * K, 2, Dest, C);
  Alpha[C] = Source[8 * K + 6];
}

// 2-bit samples become 4-bit DIB pixels: palette indices as they are, grey levels times 5 so
// that 0..3 land on 0, 5, 10, 15 of the 16-entry ramp (0, 85, 170, 255).
template <int Scale>
void Put2Bit(const uint8_t*, const uint8_t* Source, int32_t K, uint8_t* Dest, uint8_t*,
             int32_t C) {
  const int Sample = (Source[K >> 2] >> (6 - 2 * (K & 3))) & 3;
  Dest[C >> 1] = static_cast<uint8_t>(Dest[C >> 1] | (Sample * Scale) << ((C & 1) != 0 ? 0 : 4));
}

// Packed samples of 1, 4 or 8 bits are or-ed into cleared memory at their column.
template <int Depth>
void PutPacked(const uint8_t*, const uint8_t* Source, int32_t K, uint8_t* Dest, uint8_t*,
               int32_t C) {
  constexpr int Mask = (1 << Depth) - 1;
  const int Sample = (Source[(K * Depth) >> 3] >> (8 - Depth - ((K * Depth) & 7))) & Mask;
  const int Shift = (8 - Depth) - ((C * Depth) & 7);
  Dest[(C * Depth) >> 3] = static_cast<uint8_t>(Dest[(C * Depth) >> 3] | Sample << Shift);
}

template <TPixelStore Put>
void StoreRowWith(const TChunkIDAT& Decoder, const uint8_t* Source, uint8_t* Dest,
                  uint8_t* Alpha) {
  const uint8_t* Gamma = Decoder.OwnerImage()->GammaLut.data();
  for (int32_t X = 0; X < Decoder.DecodeWidth; ++X)
    Put(Gamma, Source, X, Dest, Alpha, X);
}

template <TPixelStore Put>
void StorePassWith(const TChunkIDAT& Decoder, int Pass, const uint8_t* Source, uint8_t* Alpha,
                   uint8_t* Dest) {
  const uint8_t* Gamma = Decoder.OwnerImage()->GammaLut.data();
  const TAdam7Pass& P = Adam7Passes[Pass];
  for (int32_t K = 0, C = P.StartColumn; C < Decoder.DecodeWidth; ++K, C += P.ColumnStep)
    Put(Gamma, Source, K, Dest, Alpha, C);
}

// Packed depths share the DIB's packing: the row is one block move.
void StoreRowPacked(const TChunkIDAT& Decoder, const uint8_t* Source, uint8_t* Dest, uint8_t*) {
  std::memcpy(Dest, Source, Decoder.RowByteCount);
}

// Every source byte gives two DIB bytes.
template <int Scale>
void StoreRow2Bit(const TChunkIDAT& Decoder, const uint8_t* Source, uint8_t* Dest, uint8_t*) {
  for (uint32_t i = 0; i < Decoder.RowByteCount; ++i) {
    const uint8_t b = Source[i];
    Dest[2 * i] = static_cast<uint8_t>((((b >> 6) & 3) * Scale) << 4 | ((b >> 4) & 3) * Scale);
    Dest[2 * i + 1] = static_cast<uint8_t>((((b >> 2) & 3) * Scale) << 4 | (b & 3) * Scale);
  }
}

void StorePassPacked(const TChunkIDAT& Decoder, int Pass, const uint8_t* Source, uint8_t* Alpha,
                     uint8_t* Dest) {
  switch (Decoder.HeaderChunk->BitDepth) {
  case 1:
    StorePassWith<PutPacked<1>>(Decoder, Pass, Source, Alpha, Dest);
    break;
  case 4:
    StorePassWith<PutPacked<4>>(Decoder, Pass, Source, Alpha, Dest);
    break;
  default:
    StorePassWith<PutPacked<8>>(Decoder, Pass, Source, Alpha, Dest);
  }
}

constexpr TRowDecoder StoreRowPalette2 = &StoreRow2Bit<1>;
constexpr TPassDecoder StorePassPalette2 = &StorePassWith<Put2Bit<1>>;
constexpr TRowDecoder StoreRowGray2 = &StoreRow2Bit<5>;
constexpr TPassDecoder StorePassGray2 = &StorePassWith<Put2Bit<5>>;
constexpr TRowDecoder StoreRowGray16 = &StoreRowWith<PutGray16>;
constexpr TPassDecoder StorePassGray16 = &StorePassWith<PutGray16>;
constexpr TRowDecoder StoreRowRgb8 = &StoreRowWith<PutRgb8>;
constexpr TPassDecoder StorePassRgb8 = &StorePassWith<PutRgb8>;
constexpr TRowDecoder StoreRowRgb16 = &StoreRowWith<PutRgb16>;
constexpr TPassDecoder StorePassRgb16 = &StorePassWith<PutRgb16>;
constexpr TRowDecoder StoreRowGrayAlpha8 = &StoreRowWith<PutGrayAlpha8>;
constexpr TPassDecoder StorePassGrayAlpha8 = &StorePassWith<PutGrayAlpha8>;
constexpr TRowDecoder StoreRowGrayAlpha16 = &StoreRowWith<PutGrayAlpha16>;
constexpr TPassDecoder StorePassGrayAlpha16 = &StorePassWith<PutGrayAlpha16>;
constexpr TRowDecoder StoreRowRgba8 = &StoreRowWith<PutRgba8>;
constexpr TPassDecoder StorePassRgba8 = &StorePassWith<PutRgba8>;
constexpr TRowDecoder StoreRowRgba16 = &StoreRowWith<PutRgba16>;
constexpr TPassDecoder StorePassRgba16 = &StorePassWith<PutRgba16>;

struct TDecoderPair {
  TRowDecoder Row;
  TPassDecoder Pass;
};

TDecoderPair DecodersFor(uint8_t ColorType, uint8_t BitDepth) {
  const bool Indexed = ColorType == COLOR_GRAYSCALE || ColorType == COLOR_PALETTE;
  if (Indexed && (BitDepth == 1 || BitDepth == 4 || BitDepth == 8))
    return {&StoreRowPacked, &StorePassPacked};
  if (ColorType == COLOR_PALETTE && BitDepth == 2)
    return {StoreRowPalette2, StorePassPalette2};
  if (ColorType == COLOR_GRAYSCALE && BitDepth == 2)
    return {StoreRowGray2, StorePassGray2};
  if (Indexed && BitDepth == 16)
    return {StoreRowGray16, StorePassGray16};
  const bool Deep = BitDepth == 16;
  if (BitDepth != 8 && !Deep)
    return {nullptr, nullptr};
  switch (ColorType) {
  case COLOR_RGB:
    return Deep ? TDecoderPair{StoreRowRgb16, StorePassRgb16} : TDecoderPair{StoreRowRgb8, StorePassRgb8};
  case COLOR_GRAYSCALEALPHA:
    return Deep ? TDecoderPair{StoreRowGrayAlpha16, StorePassGrayAlpha16}
                : TDecoderPair{StoreRowGrayAlpha8, StorePassGrayAlpha8};
  case COLOR_RGBALPHA:
    return Deep ? TDecoderPair{StoreRowRgba16, StorePassRgba16}
                : TDecoderPair{StoreRowRgba8, StorePassRgba8};
  default:
    return {nullptr, nullptr};
  }
}

} // namespace

TRowDecoder RowDecoderFor(uint8_t ColorType, uint8_t BitDepth) {
  return DecodersFor(ColorType, BitDepth).Row;
}

TPassDecoder PassDecoderFor(uint8_t ColorType, uint8_t BitDepth) {
  return DecodersFor(ColorType, BitDepth).Pass;
}
