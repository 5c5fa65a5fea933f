// The image-data writer: rows encoded from the image memory into PNG sample layout, gamma undone
// on colour samples, a filter chosen per row, one deflate stream (compressed in segments on
// several threads where it is large) cut into IDAT chunks.
#include "png/pngfilter.h"
#include "png/pngframe.h"
#include "png/pngrows.h"
#include "png/pngsegdeflate.h"
#include "png/pngzlib.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

namespace {

// Each pixel layout stores image column C as PNG pixel K of the raw row. 16-bit samples are
// written as v x 257, so full intensity stays full.
using TPixelPack = void (*)(const uint8_t* Inverse, const uint8_t* Dib, int32_t C,
                            const uint8_t* Alpha, uint8_t* Raw, int32_t K);

void PackGray16(const uint8_t*, const uint8_t* Dib, int32_t C, const uint8_t*, uint8_t* Raw,
                int32_t K) {
  Raw[2 * K] = Raw[2 * K + 1] = Dib[C];
}

template <int BytesPerSample>
void PutRgb(const uint8_t* Inverse, const uint8_t* Pixel, uint8_t* Out) {
  const uint8_t Channels[3] = {Inverse[Pixel[2]], Inverse[Pixel[1]], Inverse[Pixel[0]]};
  for (int c = 0; c < 3; ++c)
    std::fill_n(Out + c * BytesPerSample, BytesPerSample, Channels[c]);
}

void PackRgb8(const uint8_t* Inverse, const uint8_t* Dib, int32_t C, const uint8_t*, uint8_t* Raw,
              int32_t K) {
  PutRgb<1>(Inverse, Dib + 3 * C, Raw + 3 * K);
}

void PackRgb16(const uint8_t* Inverse, const uint8_t* Dib, int32_t C, const uint8_t*, uint8_t* Raw,
               int32_t K) {
  PutRgb<2>(Inverse, Dib + 3 * C, Raw + 6 * K);
}

void PackGrayAlpha8(const uint8_t*, const uint8_t* Dib, int32_t C, const uint8_t* Alpha,
                    uint8_t* Raw, int32_t K) {
  Raw[2 * K] = Dib[C];
  Raw[2 * K + 1] = Alpha[C];
}

void PackGrayAlpha16(const uint8_t*, const uint8_t* Dib, int32_t C, const uint8_t* Alpha,
                     uint8_t* Raw, int32_t K) {
  Raw[4 * K] = Raw[4 * K + 1] = Dib[C];
  Raw[4 * K + 2] = Raw[4 * K + 3] = Alpha[C];
}

void PackRgba8(const uint8_t* Inverse, const uint8_t* Dib, int32_t C, const uint8_t* Alpha,
               uint8_t* Raw, int32_t K) {
  PutRgb<1>(Inverse, Dib + 3 * C, Raw + 4 * K);
  Raw[4 * K + 3] = Alpha[C];
}

void PackRgba16(const uint8_t* Inverse, const uint8_t* Dib, int32_t C, const uint8_t* Alpha,
                uint8_t* Raw, int32_t K) {
  PutRgb<2>(Inverse, Dib + 3 * C, Raw + 8 * K);
  Raw[8 * K + 6] = Raw[8 * K + 7] = Alpha[C];
}

// Packed samples of Depth bits, taken from their image column, placed as pass pixel K.
template <int Depth>
void PackPacked(const uint8_t*, const uint8_t* Dib, int32_t C, const uint8_t*, uint8_t* Raw,
                int32_t K) {
  constexpr int Mask = (1 << Depth) - 1;
  const int Sample = (Dib[(C * Depth) >> 3] >> (8 - Depth - ((C * Depth) & 7))) & Mask;
  Raw[(K * Depth) >> 3] =
      static_cast<uint8_t>(Raw[(K * Depth) >> 3] | Sample << (8 - Depth - ((K * Depth) & 7)));
}

TPixelPack PackerFor(uint8_t ColorType, int SampleBits) {
  const bool Deep = SampleBits == 16;
  switch (ColorType) {
  case COLOR_GRAYSCALE:
  case COLOR_PALETTE:
    if (Deep)
      return PackGray16;
    return SampleBits == 1 ? PackPacked<1> : SampleBits == 4 ? PackPacked<4> : PackPacked<8>;
  case COLOR_RGB:
    return Deep ? PackRgb16 : PackRgb8;
  case COLOR_GRAYSCALEALPHA:
    return Deep ? PackGrayAlpha16 : PackGrayAlpha8;
  case COLOR_RGBALPHA:
    return Deep ? PackRgba16 : PackRgba8;
  default:
    return nullptr;
  }
}

std::unique_ptr<uint8_t[]> NewOutputBuffer(size_t Size) {
  std::unique_ptr<uint8_t[]> Buffer(new (std::nothrow) uint8_t[Size]);
  if (!Buffer)
    RaiseZlibError(Z_MEM_ERROR);
  return Buffer;
}

// Cuts the compressed stream into IDAT chunks, every one but the last ChunkSize bytes. The
// buffer starts at the size the data was expected to compress to at most; data that needs more
// (the estimate is only that) grows it to a whole chunk rather than cutting a short one.
class TDataChunkWriter {
public:
  TDataChunkWriter(TStream& To, uint32_t MaxChunkSize, uint64_t ExpectedBytes)
      : Stream(To), ChunkSize(MaxChunkSize),
        Capacity(static_cast<uint32_t>(std::min<uint64_t>(ChunkSize, ExpectedBytes))),
        Buffer(NewOutputBuffer(Capacity)) {}

  void Append(const uint8_t* Bytes, size_t Count) {
    while (Count > 0) {
      if (Filled == Capacity)
        MakeRoom();
      const auto Step = static_cast<uint32_t>(std::min<size_t>(Count, Capacity - Filled));
      std::memcpy(Buffer.get() + Filled, Bytes, Step);
      Filled += Step;
      Bytes += Step;
      Count -= Step;
    }
  }

  void Finish() {
    if (Filled > 0)
      WriteChunk(Stream, IdatTag, Buffer.get(), Filled);
  }

private:
  void MakeRoom() {
    if (Capacity < ChunkSize) {
      const auto Grown =
          static_cast<uint32_t>(std::min<uint64_t>(ChunkSize, uint64_t{Capacity} * 2));
      std::unique_ptr<uint8_t[]> Larger = NewOutputBuffer(Grown);
      std::memcpy(Larger.get(), Buffer.get(), Filled);
      Buffer = std::move(Larger);
      Capacity = Grown;
      return;
    }
    WriteChunk(Stream, IdatTag, Buffer.get(), Filled);
    Filled = 0;
  }

  TStream& Stream;
  uint32_t ChunkSize;
  uint32_t Capacity;
  std::unique_ptr<uint8_t[]> Buffer;
  uint32_t Filled = 0;
};

// The bytes the filtered rows take, filter bytes included: what the deflate stream holds.
uint64_t FilteredImageBytes(const TChunkIHDR& H, uint8_t Interlace, uint8_t SampleBits) {
  const auto Width = static_cast<int32_t>(H.Width), Height = static_cast<int32_t>(H.Height);
  const auto PassBytes = [&](int32_t Columns, int32_t Rows) {
    const int32_t RowBytes = RowSizeForPixels(Columns, H.ColorType, SampleBits);
    return RowBytes == 0
               ? 0
               : (uint64_t{static_cast<uint32_t>(RowBytes)} + 1) * static_cast<uint32_t>(Rows);
  };
  if (Width <= 0 || Height <= 0)
    return 0;
  if (Interlace == 0)
    return PassBytes(Width, Height);
  uint64_t Total = 0;
  for (const TAdam7Pass& P : Adam7Passes)
    Total += PassBytes(P.Columns(Width), P.Rows(Height));
  return Total;
}

} // namespace

int RepeatScore(const uint8_t* Row, uint32_t Count) {
  int Score = 0;
  for (uint32_t j = 2; j < Count; ++j)
    Score += Row[j] == Row[j - 1] || Row[j] == Row[j - 2] ? 1 : 0;
  return Score;
}

// What one write carries from row to row.
struct TChunkIDAT::TWriteState {
  TDataChunkWriter Chunks;
  std::optional<TSegmentedDeflater> Deflater;
  TPixelPack Pack = nullptr;
  int SampleBits = 0;
  uint8_t Filters = 0;
  std::vector<uint8_t> RawRow;
  std::vector<uint8_t> Candidates[FilterTypeCount]; // [ftNone]: the previous raw row, then this one

  TWriteState(TStream& To, uint32_t ChunkSize, uint64_t ExpectedBytes)
      : Chunks(To, ChunkSize, ExpectedBytes) {}
};

bool TChunkIDAT::SaveChunk(TStream& Stream) {
  HeaderChunk = &OwnerImage()->Header();
  const TChunkIHDR& H = *HeaderChunk;
  if (!H.ImageMemoryUsable())
    TPNGObject::RaisePngError<EPNGHeaderNotPresent>(PngMessage(MsgNoHeader));
  const uint8_t Interlace = OwnerImage()->GetInterlaceKind();
  if (Interlace > 1)
    TPNGObject::RaisePngError<EPNGUnknownInterlace>(PngMessage(MsgUnknownInterlace));
  DecodeWidth = static_cast<int32_t>(H.Width);
  DecodeHeight = static_cast<int32_t>(H.Height);

  // A 2-bit image is held, and so packed, as 4 bits per pixel.
  const uint8_t SampleBits = H.BitDepth == 2 ? 4 : H.BitDepth;
  const uint64_t Filtered = FilteredImageBytes(H, Interlace, SampleBits);
  // No chunk is larger than all the data could compress to, so a huge setting costs nothing.
  TWriteState State(Stream, OwnerImage()->GetMaxDataChunkSize(),
                    compressBound(static_cast<uLong>(std::min<uint64_t>(Filtered, UINT32_MAX))));
  State.SampleBits = SampleBits;
  State.Pack = PackerFor(H.ColorType, State.SampleBits);
  State.Filters = OwnerImage()->GetRowFilters();
  RowByteCount = static_cast<uint32_t>(
      RowSizeForPixels(DecodeWidth, H.ColorType, static_cast<uint8_t>(State.SampleBits)));
  int32_t RowBytes = 0, Stride = 0;
  OwnerImage()->GetRowGeometry(RowBytes, Stride);
  FilterStride = static_cast<uint32_t>(std::max(Stride, 1));
  State.RawRow.assign(RowByteCount, 0);
  State.Candidates[ftNone].assign(RowByteCount, 0);
  for (int t = ftSub; t < FilterTypeCount; ++t)
    if ((State.Filters & (1 << t)) != 0)
      State.Candidates[t].assign(RowByteCount, 0);
  State.Deflater.emplace(
      OwnerImage()->ZlibLevel, Filtered, DeflateSegmentBytes, OwnerImage()->GetEncodeThreads(),
      [&State](const uint8_t* Bytes, size_t Count) { State.Chunks.Append(Bytes, Count); });

  if (DecodeWidth > 0 && DecodeHeight > 0) {
    if (Interlace == 0)
      WriteRowsNonInterlaced(State);
    else
      WriteRowsAdam7(State);
  }
  State.Deflater->Finish();
  State.Chunks.Finish();
  return true;
}

void TChunkIDAT::WriteRowsNonInterlaced(TWriteState& State) {
  const TChunkIHDR& H = *HeaderChunk;
  const uint8_t* Inverse = OwnerImage()->InverseGammaLut.data();
  const bool Packed =
      State.Pack == PackPacked<1> || State.Pack == PackPacked<4> || State.Pack == PackPacked<8>;
  for (uint32_t Y = 0; Y < H.Height; ++Y) {
    const uint8_t* Dib = H.ImageRow(Y);
    const uint8_t* Alpha = H.AlphaPlane != nullptr ? H.AlphaRow(Y) : nullptr;
    if (Packed) {
      std::memcpy(State.RawRow.data(), Dib, RowByteCount);
    } else {
      for (int32_t X = 0; X < DecodeWidth; ++X)
        State.Pack(Inverse, Dib, X, Alpha, State.RawRow.data(), X);
    }
    WriteRow(State);
  }
}

void TChunkIDAT::WriteRowsAdam7(TWriteState& State) {
  const TChunkIHDR& H = *HeaderChunk;
  const uint8_t* Inverse = OwnerImage()->InverseGammaLut.data();
  for (const TAdam7Pass& P : Adam7Passes) {
    RowByteCount = static_cast<uint32_t>(RowSizeForPixels(P.Columns(DecodeWidth), H.ColorType,
                                                          static_cast<uint8_t>(State.SampleBits)));
    std::fill_n(State.Candidates[ftNone].begin(), RowByteCount, uint8_t{0});
    if (RowByteCount == 0)
      continue;
    for (int32_t Row = P.StartRow; Row < DecodeHeight; Row += P.RowStep) {
      const auto Y = static_cast<uint32_t>(Row);
      const uint8_t* Dib = H.ImageRow(Y);
      const uint8_t* Alpha = H.AlphaPlane != nullptr ? H.AlphaRow(Y) : nullptr;
      std::fill_n(State.RawRow.begin(), RowByteCount, uint8_t{0});
      for (int32_t K = 0, C = P.StartColumn; C < DecodeWidth; ++K, C += P.ColumnStep)
        State.Pack(Inverse, Dib, C, Alpha, State.RawRow.data(), K);
      WriteRow(State);
    }
  }
}

void TChunkIDAT::WriteRow(TWriteState& State) {
  const uint8_t Filter = ChooseRowFilter(State);
  State.Deflater->Write(&Filter, 1);
  State.Deflater->Write(State.Candidates[Filter].data(), RowByteCount);
}

uint8_t TChunkIDAT::ChooseRowFilter(TWriteState& State) const {
  const uint32_t n = RowByteCount;
  const uint32_t s = FilterStride;
  const uint8_t* x = State.RawRow.data();
  const uint8_t* b = State.Candidates[ftNone].data();
  const auto Left = [&](uint32_t i) { return i >= s ? x[i - s] : 0; };
  const auto UpperLeft = [&](uint32_t i) { return i >= s ? b[i - s] : 0; };
  const uint8_t Filters = State.Filters;
  // A pass per allowed filter, so that the usual single filter costs one pass.
  if ((Filters & pfSub) != 0)
    SubFilterRow(x, State.Candidates[ftSub].data(), n, s);
  if ((Filters & pfUp) != 0)
    for (uint32_t i = 0; i < n; ++i)
      State.Candidates[ftUp][i] = static_cast<uint8_t>(x[i] - b[i]);
  if ((Filters & pfAverage) != 0)
    for (uint32_t i = 0; i < n; ++i)
      State.Candidates[ftAverage][i] = static_cast<uint8_t>(x[i] - (Left(i) + b[i]) / 2);
  if ((Filters & pfPaeth) != 0)
    for (uint32_t i = 0; i < n; ++i)
      State.Candidates[ftPaeth][i] =
          static_cast<uint8_t>(x[i] - PaethPredictor(static_cast<uint8_t>(Left(i)), b[i],
                                                     static_cast<uint8_t>(UpperLeft(i))));
  std::memcpy(State.Candidates[ftNone].data(), x, n);
  if (Filters == 0)
    return ftNone;
  if ((Filters & (Filters - 1)) == 0)
    return static_cast<uint8_t>(__builtin_ctz(Filters));
  int Best = -1;
  uint8_t Chosen = ftNone;
  for (uint8_t t = ftNone; t < FilterTypeCount; ++t) {
    if ((Filters & (1 << t)) == 0)
      continue;
    const int Score = RepeatScore(State.Candidates[t].data(), n);
    if (Score > Best) {
      Best = Score;
      Chosen = t;
    }
  }
  return Best > 0 ? Chosen : uint8_t{ftNone};
}
