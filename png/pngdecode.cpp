// The image-data reader, one pipeline from top to bottom: rows inflated from the IDAT chunks
// (TRowInflater), their filters undone a batch at a time (TRowBatch), each row stored into the
// image memory by the row decoder of its layout (pngrows), in plain order or in the seven Adam7
// passes.
#include "png/pngframe.h"
#include "png/pngrowbatch.h"
#include "png/pngrowinflater.h"
#include "png/pngrows.h"

#include <algorithm>
#include <utility>

namespace {

bool GammaInForce(const TPNGObject& Image) {
  for (size_t i = 0; i < Image.GammaLut.size(); ++i)
    if (Image.GammaLut[i] != i)
      return true;
  return false;
}

// Rows a failed read left behind go before the image data is read again.
void ClearImageMemory(const TChunkIHDR& Header) {
  if (Header.PixelBase != nullptr)
    std::fill_n(Header.PixelBase, static_cast<size_t>(Header.RowStride) * Header.Height, 0);
  if (Header.AlphaPlane != nullptr)
    std::fill_n(Header.AlphaPlane, size_t{Header.Width} * Header.Height, 0);
}

uint32_t PixelBits(const TChunkIHDR& Header) {
  return static_cast<uint32_t>(RowSizeForPixels(8, Header.ColorType, Header.BitDepth));
}

} // namespace

// Grey images show their samples through a ramp, corrected by the gamma table in force.
void TChunkIDAT::BuildGrayColorTable() {
  if (HeaderChunk->ColorType != COLOR_GRAYSCALE && HeaderChunk->ColorType != COLOR_GRAYSCALEALPHA)
    return;
  const int Entries = 1 << HeaderChunk->BitCount();
  for (int i = 0; i < Entries; ++i) {
    const uint8_t v = OwnerImage()->GammaLut[static_cast<size_t>(i * 255 / (Entries - 1))];
    HeaderChunk->DibInfo.bmiColors[i] = {v, v, v, 0};
  }
}

// Count rows of RowByteCount bytes below a row of zeros: inflated, undone, handed to Take with
// their index; false when the data ends first. Rows read whole are handed on even when reading a
// later row of their batch fails.
bool TChunkIDAT::DecodeRows(TRowInflater& Source, uint32_t Count, const TTakeRow& Take) {
  TRowBatch Batch(RowByteCount, PixelBits(*HeaderChunk));
  uint32_t First = 0, Rows = 0;
  const auto HandOn = [&] {
    const uint32_t Read = std::exchange(Rows, 0);
    if (Read == 0)
      return;
    Batch.Unfilter(Read);
    for (uint32_t k = 0; k < Read; ++k)
      Take(First + k, Batch.Row(k));
    First += Read;
  };
  try {
    while (First < Count) {
      const uint32_t Wanted = std::min(Batch.Capacity(), Count - First);
      while (Rows < Wanted &&
             Source.ReadRow(Batch.FilteredRow(Rows), static_cast<int32_t>(RowByteCount) + 1))
        ++Rows;
      const bool Ended = Rows < Wanted;
      HandOn();
      if (Ended)
        return false;
    }
  } catch (...) {
    HandOn();
    throw;
  }
  return true;
}

void TChunkIDAT::DecodeNonInterlaced(TRowInflater& Source) {
  const TRowDecoder Store =
      RowDecoderFor(HeaderChunk->ColorType, HeaderChunk->BitDepth, GammaInForce(*OwnerImage()));
  if (Store == nullptr)
    return;
  const bool Alpha = HeaderChunk->HasAlpha();
  DecodeRows(Source, HeaderChunk->Height, [&](uint32_t Y, const uint8_t* Bytes) {
    Store(*this, Bytes, HeaderChunk->ImageRow(Y), Alpha ? HeaderChunk->AlphaRow(Y) : nullptr);
  });
}

void TChunkIDAT::DecodeAdam7(TRowInflater& Source) {
  const TPassDecoder Store =
      PassDecoderFor(HeaderChunk->ColorType, HeaderChunk->BitDepth, GammaInForce(*OwnerImage()));
  if (Store == nullptr)
    return;
  const bool Alpha = HeaderChunk->HasAlpha();
  for (int Pass = 0; Pass < 7; ++Pass) {
    const TAdam7Pass& P = Adam7Passes[Pass];
    RowByteCount = static_cast<uint32_t>(
        RowSizeForPixels(P.Columns(DecodeWidth), HeaderChunk->ColorType, HeaderChunk->BitDepth));
    if (RowByteCount == 0)
      continue;
    const bool Complete = DecodeRows(
        Source, static_cast<uint32_t>(P.Rows(DecodeHeight)), [&](uint32_t k, const uint8_t* Bytes) {
          const auto Line =
              static_cast<uint32_t>(P.StartRow) + k * static_cast<uint32_t>(P.RowStep);
          Store(*this, Pass, Bytes, Alpha ? HeaderChunk->AlphaRow(Line) : nullptr,
                HeaderChunk->ImageRow(Line));
        });
    if (!Complete)
      return;
  }
}

// ISA-L leaves every stream it fails on to zlib, which reads the image data again from its
// first chunk, so that a damaged file fails, and keeps its rows, as it always has.
bool TChunkIDAT::LoadChunk(TStream& Stream, const TChunkTag&, int32_t Size) {
  HeaderChunk = &OwnerImage()->Header();
  if (Size < 0 || int64_t{Size} + 4 > StreamRemaining(Stream))
    RaiseUnexpectedEnd();
  FirstChunkBodySize = Size;
  BuildGrayColorTable();
  DecodeWidth = static_cast<int32_t>(HeaderChunk->Width);
  DecodeHeight = static_cast<int32_t>(HeaderChunk->Height);
  const int64_t DataStart = Stream.GetPosition();
  const TImageInflaterKind Kind = ImageInflaterInUse();
  if (!DecodeImageData(Stream, Size, Kind) && Kind != ikZlib) {
    ClearImageMemory(*HeaderChunk);
    Stream.SetPosition(DataStart);
    DecodeImageData(Stream, Size, ikZlib);
  }
  return true;
}

// False when the inflater gave the stream up.
bool TChunkIDAT::DecodeImageData(TStream& Stream, int32_t Size, TImageInflaterKind Kind) {
  int32_t RowBytes = 0;
  int32_t Stride = 0;
  OwnerImage()->GetRowGeometry(RowBytes, Stride);
  RowByteCount = static_cast<uint32_t>(RowBytes);
  FilterStride = static_cast<uint32_t>(Stride);
  TRowInflater Source(Stream, Size, Kind);
  const bool HasPixels = DecodeWidth > 0 && DecodeHeight > 0 && HeaderChunk->ImageMemoryUsable();
  try {
    if (HasPixels && OwnerImage()->GetInterlaceKind() == 0)
      DecodeNonInterlaced(Source);
    else if (HasPixels && OwnerImage()->GetInterlaceKind() == 1)
      DecodeAdam7(Source);
  } catch (const EInflaterGaveUp&) {
    return false;
  }
  Source.Finish();
  return true;
}
