// The image-data reader: inflating across IDAT chunks, undoing the row filters, walking the rows
// in plain order or in the seven Adam7 passes.
#include "png/pngframe.h"
#include "png/pngrowbatch.h"
#include "png/pngunfilter.h"

#include <algorithm>

const TAdam7Pass Adam7Passes[7] = {{0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4},
                                   {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}};

namespace {

constexpr TChunkTag IdatTag = ChunkTagOf("IDAT");

bool GammaInForce(const TPNGObject& Image) {
  for (size_t i = 0; i < Image.GammaLut.size(); ++i)
    if (Image.GammaLut[i] != i)
      return true;
  return false;
}

} // namespace

// What one read of the image data carries from chunk to chunk.
struct TChunkIDAT::TReadState {
  TStream& Stream;
  ZlibStream Zlib;
  uint32_t Crc = 0xFFFFFFFFu;
  int64_t ChunkEnd = 0;
  bool StreamEnded = false; // zlib has reported the end of its data
  std::vector<uint8_t> Rows[2];
  int Current = 1;

  explicit TReadState(TStream& From) : Stream(From) {}
  uint8_t* CurrentRow() { return Rows[Current].data(); }
  uint8_t* PreviousRow() { return Rows[1 - Current].data(); }
  void CheckCrc(uint32_t Stored) const {
    if (Stored != ~Crc)
      TPNGObject::RaisePngError<EPngInvalidCRC>(PngMessage(MsgInvalidCRC));
  }
  // Reads the bytes of the current body up to Count, into the CRC; 0 when the stream is dry.
  int32_t ReadBody(uint8_t* Buffer, int64_t Count) {
    const int64_t Wanted = std::clamp<int64_t>(Count, 0, ZlibInputBufferSize);
    const auto Got = static_cast<int32_t>(Stream.ReadFully(Buffer, Wanted));
    Crc = UpdateCrc32(Crc, Buffer, Got);
    return Got;
  }
  // The current chunk is used up: its CRC, then the next chunk's frame, which must be IDAT.
  void NextChunk() {
    CheckCrc(ReadBigEndian32(Stream));
    const uint32_t Length = ReadBigEndian32(Stream);
    TChunkTag Tag{};
    ReadChunkBytes(Stream, Tag.data(), 4);
    if (Tag != IdatTag)
      TPNGObject::RaisePngError<EPNGMissingMultipleIDAT>(PngMessage(MsgMissingIDAT));
    if (Length > 0x7FFFFFFFu || int64_t{Length} + 4 > StreamRemaining(Stream))
      RaiseUnexpectedEnd();
    Crc = UpdateCrc32(0xFFFFFFFFu, Tag.data(), 4);
    ChunkEnd = Stream.GetPosition() + Length;
  }
};

int32_t TChunkIDAT::InflateImageBytes(TReadState& State, uint8_t* Destination, int32_t Count) {
  if (State.StreamEnded)
    return 0;
  z_stream& Z = State.Zlib.ZLib;
  Z.next_out = Destination;
  Z.avail_out = static_cast<uInt>(Count);
  while (Z.avail_out > 0) {
    if (Z.avail_in == 0 && State.Stream.GetPosition() >= State.ChunkEnd) {
      State.NextChunk();
      continue;
    }
    if (Z.avail_in == 0) {
      const int32_t Got = State.ReadBody(State.Zlib.WorkBuffer.get(),
                                         State.ChunkEnd - State.Stream.GetPosition());
      if (Got == 0)
        break;
      Z.next_in = State.Zlib.WorkBuffer.get();
      Z.avail_in = static_cast<uInt>(Got);
    }
    const int Result = inflate(&Z, Z_NO_FLUSH);
    if (Result == Z_STREAM_END) {
      State.StreamEnded = true;
      break;
    }
    if (Result < 0 || Result == Z_NEED_DICT)
      RaiseZlibError(Result);
  }
  return Count - static_cast<int32_t>(Z.avail_out);
}

// A row the data ends inside is completed with zeros; false when no byte of it came.
bool TChunkIDAT::InflateRow(TReadState& State, uint8_t* Destination) {
  const auto Wanted = static_cast<int32_t>(RowByteCount) + 1;
  const int32_t Got = InflateImageBytes(State, Destination, Wanted);
  std::fill(Destination + Got, Destination + Wanted, uint8_t{0});
  return Got > 0;
}

uint8_t PaethPredictor(uint8_t Left, uint8_t Above, uint8_t UpperLeft) {
  const int p = Left + Above - UpperLeft;
  const int pa = std::abs(p - Left);
  const int pb = std::abs(p - Above);
  const int pc = std::abs(p - UpperLeft);
  if (pa <= pb && pa <= pc)
    return Left;
  return pb <= pc ? Above : UpperLeft;
}

// Row bytes are 1..n after the filter byte.
void TChunkIDAT::ReverseRowFilter(uint8_t* Current, const uint8_t* Previous) const {
  UnfilterRow(Current[0], std::max(FilterStride, 1u), Current + 1, Previous + 1, RowByteCount);
}

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

void TChunkIDAT::DecodeNonInterlaced(TReadState& State) {
  const TRowDecoder Store =
      RowDecoderFor(HeaderChunk->ColorType, HeaderChunk->BitDepth, GammaInForce(*OwnerImage()));
  if (Store == nullptr)
    return;
  if (FilterStride <= 1 && RowByteCount <= TRowBatch::MaxRowBytes)
    return DecodeInBatches(State, Store);
  const bool Alpha = HeaderChunk->HasAlpha();
  for (uint32_t Row = 0; Row < HeaderChunk->Height; ++Row) {
    if (!InflateRow(State, State.CurrentRow()))
      return;
    ReverseRowFilter(State.CurrentRow(), State.PreviousRow());
    Store(*this, State.CurrentRow() + 1, HeaderChunk->ImageRow(Row),
          Alpha ? HeaderChunk->AlphaRow(Row) : nullptr);
    State.Current = 1 - State.Current;
  }
}

// Rows of one-byte pixels (and packed samples) are undone a batch at a time.
void TChunkIDAT::DecodeInBatches(TReadState& State, TRowDecoder Store) {
  TRowBatch Batch(RowByteCount);
  const bool Alpha = HeaderChunk->HasAlpha();
  const uint32_t Height = HeaderChunk->Height;
  for (uint32_t First = 0; First < Height;) {
    uint32_t Rows = 0;
    bool Dry = false;
    while (!Dry && Rows < TRowBatch::MaxRows && First + Rows < Height) {
      Dry = !InflateRow(State, Batch.FilteredRow(Rows));
      Rows += Dry ? 0 : 1;
    }
    if (Rows == 0)
      return;
    Batch.Unfilter(Rows);
    for (uint32_t k = 0; k < Rows; ++k)
      Store(*this, Batch.Row(k), HeaderChunk->ImageRow(First + k),
            Alpha ? HeaderChunk->AlphaRow(First + k) : nullptr);
    if (Dry)
      return;
    First += Rows;
  }
}

void TChunkIDAT::DecodeAdam7(TReadState& State) {
  const TPassDecoder Store =
      PassDecoderFor(HeaderChunk->ColorType, HeaderChunk->BitDepth, GammaInForce(*OwnerImage()));
  if (Store == nullptr)
    return;
  const bool Alpha = HeaderChunk->HasAlpha();
  for (int Pass = 0; Pass < 7; ++Pass) {
    const TAdam7Pass& P = Adam7Passes[Pass];
    const int32_t Columns = std::max(0, (DecodeWidth - P.StartColumn + P.ColumnStep - 1) /
                                            P.ColumnStep);
    RowByteCount = static_cast<uint32_t>(
        RowSizeForPixels(Columns, HeaderChunk->ColorType, HeaderChunk->BitDepth));
    std::fill_n(State.PreviousRow(), RowByteCount + 1, uint8_t{0});
    if (RowByteCount == 0)
      continue;
    for (int32_t Row = P.StartRow; Row < DecodeHeight; Row += P.RowStep) {
      if (!InflateRow(State, State.CurrentRow()))
        break;
      ReverseRowFilter(State.CurrentRow(), State.PreviousRow());
      const auto Line = static_cast<uint32_t>(Row);
      Store(*this, Pass, State.CurrentRow() + 1, Alpha ? HeaderChunk->AlphaRow(Line) : nullptr,
            HeaderChunk->ImageRow(Line));
      State.Current = 1 - State.Current;
    }
  }
}

// Whatever of the last body was not needed still counts for its CRC, which then follows.
void TChunkIDAT::FinishLastChunk(TReadState& State) {
  uint8_t* Buffer = State.Zlib.WorkBuffer.get();
  while (State.Stream.GetPosition() < State.ChunkEnd)
    if (State.ReadBody(Buffer, State.ChunkEnd - State.Stream.GetPosition()) == 0)
      RaiseUnexpectedEnd();
  State.CheckCrc(ReadBigEndian32(State.Stream));
}

bool TChunkIDAT::LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) {
  HeaderChunk = &OwnerImage()->Header();
  if (Size < 0 || int64_t{Size} + 4 > StreamRemaining(Stream))
    RaiseUnexpectedEnd();
  FirstChunkBodySize = Size;
  BuildGrayColorTable();
  DecodeWidth = static_cast<int32_t>(HeaderChunk->Width);
  DecodeHeight = static_cast<int32_t>(HeaderChunk->Height);
  int32_t RowBytes = 0;
  int32_t Stride = 0;
  OwnerImage()->GetRowGeometry(RowBytes, Stride);
  RowByteCount = static_cast<uint32_t>(RowBytes);
  FilterStride = static_cast<uint32_t>(Stride);

  TReadState State(Stream);
  State.Crc = UpdateCrc32(State.Crc, Tag.data(), 4);
  BeginInflate(Stream, State.Zlib);
  State.ChunkEnd = Stream.GetPosition() + Size;
  State.Rows[0].assign(RowByteCount + 1, 0);
  State.Rows[1].assign(RowByteCount + 1, 0);
  const bool HasPixels = DecodeWidth > 0 && DecodeHeight > 0 && HeaderChunk->ImageMemoryUsable();
  if (HasPixels && OwnerImage()->GetInterlaceKind() == 0)
    DecodeNonInterlaced(State);
  else if (HasPixels && OwnerImage()->GetInterlaceKind() == 1)
    DecodeAdam7(State);
  FinishLastChunk(State);
  return true;
}
