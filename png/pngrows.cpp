// Row decoders: one unfiltered PNG row, or one row of an Adam7 pass, into the image memory.
// True-colour samples go through the gamma table; 16-bit samples keep their high byte; alpha
// goes to the alpha plane unchanged; grey and palette samples are stored as DIB indices.
#include "png/pngrows.h"
#include "png/pngreorder.h"

#include <cstring>

const TAdam7Pass Adam7Passes[7] = {{0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4},
                                   {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}};

namespace {

// Each pixel layout is one function storing source pixel K at image column C.
using TPixelStore = void (*)(const uint8_t* Gamma, const uint8_t* Source, int32_t K, uint8_t* Dest,
                             uint8_t* Alpha, int32_t C);

void PutGray16(const uint8_t*, const uint8_t* Source, int32_t K, uint8_t* Dest, uint8_t*,
               int32_t C) {
  Dest[C] = Source[2 * K];
}

// Truecolour samples are shown through the gamma table, unless it is the identity.
template <bool Corrected>
void PutRgb(const uint8_t* Gamma, const uint8_t* Pixel, int BytesPerSample, uint8_t* Dest,
            int32_t C) {
  const auto Shown = [Gamma](uint8_t Sample) { return Corrected ? Gamma[Sample] : Sample; };
  Dest[3 * C] = Shown(Pixel[2 * BytesPerSample]);
  Dest[3 * C + 1] = Shown(Pixel[BytesPerSample]);
  Dest[3 * C + 2] = Shown(Pixel[0]);
}

template <bool Corrected>
void PutRgb8(const uint8_t* Gamma, const uint8_t* Source, int32_t K, uint8_t* Dest, uint8_t*,
             int32_t C) {
  PutRgb<Corrected>(Gamma, Source + 3 * K, 1, Dest, C);
}

template <bool Corrected>
void PutRgb16(const uint8_t* Gamma, const uint8_t* Source, int32_t K, uint8_t* Dest, uint8_t*,
              int32_t C) {
  PutRgb<Corrected>(Gamma, Source + 6 * K, 2, Dest, C);
}

void PutGrayAlpha8(const uint8_t*, const uint8_t* Source, int32_t K, uint8_t* Dest, uint8_t* Alpha,
                   int32_t C) {
  Dest[C] = Source[2 * K];
  Alpha[C] = Source[2 * K + 1];
}

void PutGrayAlpha16(const uint8_t*, const uint8_t* Source, int32_t K, uint8_t* Dest, uint8_t* Alpha,
                    int32_t C) {
  Dest[C] = Source[4 * K];
  Alpha[C] = Source[4 * K + 2];
}

template <bool Corrected>
void PutRgba8(const uint8_t* Gamma, const uint8_t* Source, int32_t K, uint8_t* Dest, uint8_t* Alpha,
              int32_t C) {
  PutRgb<Corrected>(Gamma, Source + 4 * K, 1, Dest, C);
  Alpha[C] = Source[4 * K + 3];
}

template <bool Corrected>
void PutRgba16(const uint8_t* Gamma, const uint8_t* Source, int32_t K, uint8_t* Dest,
               uint8_t* Alpha, int32_t C) {
  PutRgb<Corrected>(Gamma, Source + 8 * K, 2, Dest, C);
  Alpha[C] = Source[8 * K + 6];
}

// 2-bit samples become 4-bit DIB pixels: palette indices as they are, grey levels times 5 so
// that 0..3 land on 0, 5, 10, 15 of the 16-entry ramp (0, 85, 170, 255).
template <int Scale>
void Put2Bit(const uint8_t*, const uint8_t* Source, int32_t K, uint8_t* Dest, uint8_t*, int32_t C) {
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
void StoreRowWith(const TChunkIDAT& Decoder, const uint8_t* Source, uint8_t* Dest, uint8_t* Alpha) {
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

// Without gamma, whole rows of truecolour are reordered in blocks.
void StoreRowRgb8Uncorrected(const TChunkIDAT& Decoder, const uint8_t* Source, uint8_t* Dest,
                             uint8_t*) {
  ReorderRgb8(Source, Dest, static_cast<uint32_t>(Decoder.DecodeWidth));
}

void StoreRowRgba8Uncorrected(const TChunkIDAT& Decoder, const uint8_t* Source, uint8_t* Dest,
                              uint8_t* Alpha) {
  ReorderRgba8(Source, Dest, Alpha, static_cast<uint32_t>(Decoder.DecodeWidth));
}

// Without gamma, an 8-bit RGB pass is spread over its columns in blocks.
void SpreadPassRgb8Uncorrected(const TChunkIDAT& Decoder, int Pass, const uint8_t* Source, uint8_t*,
                               uint8_t* Dest) {
  const TAdam7Pass& P = Adam7Passes[Pass];
  SpreadRgb8(Source, Dest + 3 * P.StartColumn,
             static_cast<uint32_t>(P.Columns(Decoder.DecodeWidth)),
             static_cast<uint32_t>(P.ColumnStep));
}

// The last Adam7 pass holds whole rows, which the row decoder stores faster.
template <TPassDecoder SomeColumns, TRowDecoder WholeRow>
void StorePassOrWholeRow(const TChunkIDAT& Decoder, int Pass, const uint8_t* Source, uint8_t* Alpha,
                         uint8_t* Dest) {
  if (Adam7Passes[Pass].ColumnStep == 1)
    WholeRow(Decoder, Source, Dest, Alpha);
  else
    SomeColumns(Decoder, Pass, Source, Alpha, Dest);
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

struct TDecoderPair {
  TRowDecoder Row;
  TPassDecoder Pass;
};

template <TPixelStore Put>
constexpr TDecoderPair WithPut{&StoreRowWith<Put>, &StorePassWith<Put>};

// Truecolour layouts, with the gamma table or without it.
template <bool Corrected>
TDecoderPair TrueColourDecoders(uint8_t ColorType, bool Deep) {
  if (ColorType == COLOR_RGB) {
    if (!Corrected)
      return Deep ? WithPut<PutRgb16<false>>
                  : TDecoderPair{
                        &StoreRowRgb8Uncorrected,
                        &StorePassOrWholeRow<&SpreadPassRgb8Uncorrected, &StoreRowRgb8Uncorrected>};
    return Deep ? WithPut<PutRgb16<true>> : WithPut<PutRgb8<true>>;
  }
  if (Deep)
    return WithPut<PutRgba16<Corrected>>;
  return Corrected ? WithPut<PutRgba8<true>>
                   : TDecoderPair{&StoreRowRgba8Uncorrected,
                                  &StorePassOrWholeRow<&StorePassWith<PutRgba8<false>>,
                                                       &StoreRowRgba8Uncorrected>};
}

TDecoderPair DecodersFor(uint8_t ColorType, uint8_t BitDepth, bool GammaInForce) {
  const bool Indexed = ColorType == COLOR_GRAYSCALE || ColorType == COLOR_PALETTE;
  if (RowsStoredAsTheyStand(ColorType, BitDepth))
    return {&StoreRowPacked, &StorePassPacked};
  if (ColorType == COLOR_PALETTE && BitDepth == 2)
    return {&StoreRow2Bit<1>, &StorePassWith<Put2Bit<1>>};
  if (ColorType == COLOR_GRAYSCALE && BitDepth == 2)
    return {&StoreRow2Bit<5>, &StorePassWith<Put2Bit<5>>};
  if (Indexed && BitDepth == 16)
    return WithPut<PutGray16>;
  const bool Deep = BitDepth == 16;
  if (BitDepth != 8 && !Deep)
    return {nullptr, nullptr};
  switch (ColorType) {
  case COLOR_GRAYSCALEALPHA:
    return Deep ? WithPut<PutGrayAlpha16> : WithPut<PutGrayAlpha8>;
  case COLOR_RGB:
  case COLOR_RGBALPHA:
    return GammaInForce ? TrueColourDecoders<true>(ColorType, Deep)
                        : TrueColourDecoders<false>(ColorType, Deep);
  default:
    return {nullptr, nullptr};
  }
}

} // namespace

bool RowsStoredAsTheyStand(uint8_t ColorType, uint8_t BitDepth) {
  const bool Indexed = ColorType == COLOR_GRAYSCALE || ColorType == COLOR_PALETTE;
  return Indexed && (BitDepth == 1 || BitDepth == 4 || BitDepth == 8);
}

TRowDecoder RowDecoderFor(uint8_t ColorType, uint8_t BitDepth, bool GammaInForce) {
  return DecodersFor(ColorType, BitDepth, GammaInForce).Row;
}

TPassDecoder PassDecoderFor(uint8_t ColorType, uint8_t BitDepth, bool GammaInForce) {
  return DecodersFor(ColorType, BitDepth, GammaInForce).Pass;
}
