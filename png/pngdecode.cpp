// The image-data reader: inflating across IDAT chunks, undoing the row filters, walking the rows
// in plain order or in the seven Adam7 passes.
#include "png/pngframe.h"
#include "png/pnginflater.h"
#include "png/pngrowbatch.h"
#include "png/pngrows.h"
#include "png/pngunfilter.h"

#include <algorithm>

namespace {

// A byte borrowed for a while: its value comes back however the borrower leaves, a zlib error
// included, as the image memory is kept after one.
struct TBytePutBack {
  uint8_t& At;
  uint8_t Kept;
  explicit TBytePutBack(uint8_t& Borrowed) : At(Borrowed), Kept(Borrowed) {}
  TBytePutBack(const TBytePutBack&) = delete;
  TBytePutBack& operator=(const TBytePutBack&) = delete;
  ~TBytePutBack() { At = Kept; }
};

// Rows of wider pixels go four at a time; up to the widest row the group's five buffers keep
// well inside a megabyte.
constexpr uint32_t GroupRows = 4;
constexpr uint32_t MaxGroupRowBytes = 65536;

// zlib's fast path wants 258 bytes of room; rows shorter than this are read ahead.
constexpr int32_t ShortRowBytes = 1024;
constexpr uint32_t ReadAheadBytes = 16384;

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

} // namespace

// What one read of the image data carries from chunk to chunk.
struct TChunkIDAT::TReadState {
  TStream& Stream;
  std::unique_ptr<TImageInflater> Inflater;
  uint32_t Crc = 0xFFFFFFFFu;
  int64_t ChunkEnd = 0;
  // The rows being undone, each with its filter byte first: Group[0] is the row above them, then
  // GroupSize rows, four where rows are narrow enough.
  std::vector<uint8_t> GroupStorage;
  uint8_t* Group[GroupRows + 1] = {};
  uint32_t GroupSize = 1;
  // Short rows inflated ahead of the one being read.
  std::vector<uint8_t> Ahead;
  int32_t AheadAt = 0;
  int32_t AheadEnd = 0;

  TReadState(TStream& From, TImageInflaterKind Kind)
      : Stream(From), Inflater(NewImageInflater(Kind)) {}
  void PrepareGroup(uint32_t RowBytes) {
    const size_t Pitch = size_t{RowBytes} + 1;
    GroupSize = RowBytes <= MaxGroupRowBytes ? GroupRows : 1;
    GroupStorage.assign((GroupSize + 1) * Pitch, 0);
    for (uint32_t k = 0; k <= GroupSize; ++k)
      Group[k] = GroupStorage.data() + k * Pitch;
  }
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
  TImageInflater& Inflater = *State.Inflater;
  int32_t Produced = 0;
  while (Produced < Count && !Inflater.StreamEnded()) {
    if (Inflater.NeedsInput() && State.Stream.GetPosition() >= State.ChunkEnd) {
      State.NextChunk();
      continue;
    }
    if (Inflater.NeedsInput()) {
      const int32_t Got =
          State.ReadBody(Inflater.InputBuffer(), State.ChunkEnd - State.Stream.GetPosition());
      if (Got == 0)
        break;
      Inflater.TakeInput(Got);
    }
    Produced += Inflater.Inflate(Destination + Produced, Count - Produced);
  }
  return Produced;
}

// A row the data ends inside is completed with zeros; false when no byte of it came. Short rows
// are inflated several at a time (never more than the RowsLeft still wanted, the row itself
// included), as zlib takes its fast path only with room for a long match.
bool TChunkIDAT::InflateRow(TReadState& State, uint8_t* Destination, uint32_t RowsLeft) {
  const auto Wanted = static_cast<int32_t>(RowByteCount) + 1;
  int32_t Got = 0;
  if (Wanted < ShortRowBytes) {
    if (State.AheadAt == State.AheadEnd) {
      const auto Rows =
          std::min<uint32_t>(RowsLeft, ReadAheadBytes / static_cast<uint32_t>(Wanted));
      State.Ahead.resize(ReadAheadBytes);
      State.AheadEnd =
          InflateImageBytes(State, State.Ahead.data(), static_cast<int32_t>(Rows) * Wanted);
      State.AheadAt = 0;
    }
    Got = std::min(Wanted, State.AheadEnd - State.AheadAt);
    std::copy_n(State.Ahead.data() + State.AheadAt, Got, Destination);
    State.AheadAt += Got;
  } else {
    Got = InflateImageBytes(State, Destination, Wanted);
  }
  std::fill(Destination + Got, Destination + Wanted, uint8_t{0});
  return Got > 0;
}

// Row Y's filter byte and bytes inflated straight into the image; bytes that never came stay as
// the image memory began, zeros. The filter byte lands on the image byte before the row, which
// is put back afterwards, so that one call of zlib takes the whole row; false when no byte came.
bool TChunkIDAT::InflateRowIntoImage(TReadState& State, uint32_t Y, uint8_t& Type) {
  uint8_t* Bytes = HeaderChunk->ImageRow(Y);
  int32_t Got = 0;
  if (Bytes > HeaderChunk->PixelBase) {
    const TBytePutBack PutBack(Bytes[-1]);
    Got = InflateImageBytes(State, Bytes - 1, static_cast<int32_t>(RowByteCount) + 1) - 1;
    Type = Got >= 0 ? Bytes[-1] : 0;
  } else {
    Type = 0;
    Got = InflateImageBytes(State, &Type, 1) - 1;
    if (Got == 0)
      Got = InflateImageBytes(State, Bytes, static_cast<int32_t>(RowByteCount));
  }
  return Got >= 0;
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
  State.PrepareGroup(RowByteCount);
  DecodeRowsInGroups(State, HeaderChunk->Height, [&](uint32_t Y, const uint8_t* Bytes) {
    Store(*this, Bytes, HeaderChunk->ImageRow(Y), Alpha ? HeaderChunk->AlphaRow(Y) : nullptr);
  });
}

// Rows of one-byte pixels (and packed samples) are undone a batch at a time. Where the image
// keeps the row bytes as they stand, rows go straight into it after a batch without Average or
// Paeth rows, saving the copy, until such a row sends the next ones back to batches.
void TChunkIDAT::DecodeInBatches(TReadState& State, TRowDecoder Store) {
  TRowBatch Batch(RowByteCount);
  const bool Alpha = HeaderChunk->HasAlpha();
  const uint32_t Height = HeaderChunk->Height;
  // Short rows are read ahead, through a buffer, so they never go straight.
  const bool IntoImage = RowsStoredAsTheyStand(HeaderChunk->ColorType, HeaderChunk->BitDepth) &&
                         static_cast<int32_t>(RowByteCount) + 1 >= ShortRowBytes;
  constexpr uint32_t ChainTypes = (1u << 3) | (1u << 4);
  bool Straight = false;
  for (uint32_t First = 0; First < Height;) {
    if (Straight) {
      uint8_t Type = 0;
      if (!InflateRowIntoImage(State, First, Type))
        return;
      UnfilterRow(Type, 1, HeaderChunk->ImageRow(First), HeaderChunk->ImageRow(First - 1),
                  RowByteCount);
      Straight = Type != ftAverage && Type != ftPaeth;
      if (!Straight)
        Batch.SetRowAbove(HeaderChunk->ImageRow(First));
      ++First;
      continue;
    }
    uint32_t Rows = 0;
    bool Dry = false;
    while (!Dry && Rows < TRowBatch::MaxRows && First + Rows < Height) {
      Dry = !InflateRow(State, Batch.FilteredRow(Rows), Height - First - Rows);
      Rows += Dry ? 0 : 1;
    }
    if (Rows == 0)
      return;
    const uint32_t TypesMet = Batch.Unfilter(Rows);
    Straight = IntoImage && (TypesMet & ChainTypes) == 0;
    for (uint32_t k = 0; k < Rows; ++k)
      Store(*this, Batch.Row(k), HeaderChunk->ImageRow(First + k),
            Alpha ? HeaderChunk->AlphaRow(First + k) : nullptr);
    if (Dry)
      return;
    First += Rows;
  }
}

// Rows of the current RowByteCount below a row of zeros, a group at a time, which lets rows of
// the same filter run together; false when the data ends first.
bool TChunkIDAT::DecodeRowsInGroups(TReadState& State, uint32_t Count, const TTakeRow& Take) {
  std::fill_n(State.Group[0], RowByteCount + 1, uint8_t{0});
  for (uint32_t First = 0; First < Count;) {
    uint32_t Rows = 0;
    bool Dry = false;
    while (!Dry && Rows < State.GroupSize && First + Rows < Count) {
      Dry = !InflateRow(State, State.Group[Rows + 1], Count - First - Rows);
      Rows += Dry ? 0 : 1;
    }
    uint8_t Types[GroupRows];
    uint8_t* RowBytes[GroupRows];
    for (uint32_t k = 0; k < Rows; ++k) {
      Types[k] = State.Group[k + 1][0];
      RowBytes[k] = State.Group[k + 1] + 1;
    }
    UnfilterRows(std::max(FilterStride, 1u), Types, RowBytes, State.Group[0] + 1, Rows,
                 RowByteCount);
    for (uint32_t k = 0; k < Rows; ++k)
      Take(First + k, RowBytes[k]);
    if (Dry)
      return false;
    std::swap(State.Group[0], State.Group[Rows]);
    First += Rows;
  }
  return true;
}

void TChunkIDAT::DecodeAdam7(TReadState& State) {
  const TPassDecoder Store =
      PassDecoderFor(HeaderChunk->ColorType, HeaderChunk->BitDepth, GammaInForce(*OwnerImage()));
  if (Store == nullptr)
    return;
  const bool Alpha = HeaderChunk->HasAlpha();
  State.PrepareGroup(RowByteCount);
  for (int Pass = 0; Pass < 7; ++Pass) {
    const TAdam7Pass& P = Adam7Passes[Pass];
    const auto Rows = static_cast<uint32_t>(P.Rows(DecodeHeight));
    RowByteCount = static_cast<uint32_t>(
        RowSizeForPixels(P.Columns(DecodeWidth), HeaderChunk->ColorType, HeaderChunk->BitDepth));
    if (RowByteCount == 0)
      continue;
    const bool Complete = DecodeRowsInGroups(State, Rows, [&](uint32_t k, const uint8_t* Bytes) {
      const auto Line = static_cast<uint32_t>(P.StartRow) + k * static_cast<uint32_t>(P.RowStep);
      Store(*this, Pass, Bytes, Alpha ? HeaderChunk->AlphaRow(Line) : nullptr,
            HeaderChunk->ImageRow(Line));
    });
    if (!Complete)
      return;
  }
}

// Whatever of the last body was not needed still counts for its CRC, which then follows.
void TChunkIDAT::FinishLastChunk(TReadState& State) {
  uint8_t* Buffer = State.Inflater->InputBuffer();
  while (State.Stream.GetPosition() < State.ChunkEnd)
    if (State.ReadBody(Buffer, State.ChunkEnd - State.Stream.GetPosition()) == 0)
      RaiseUnexpectedEnd();
  State.CheckCrc(ReadBigEndian32(State.Stream));
}

// ISA-L leaves every stream it fails on to zlib, which reads the image data again from its
// first chunk, so that a damaged file fails, and keeps its rows, as it always has.
bool TChunkIDAT::LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) {
  HeaderChunk = &OwnerImage()->Header();
  if (Size < 0 || int64_t{Size} + 4 > StreamRemaining(Stream))
    RaiseUnexpectedEnd();
  FirstChunkBodySize = Size;
  BuildGrayColorTable();
  DecodeWidth = static_cast<int32_t>(HeaderChunk->Width);
  DecodeHeight = static_cast<int32_t>(HeaderChunk->Height);
  const int64_t DataStart = Stream.GetPosition();
  const TImageInflaterKind Kind = ImageInflaterInUse();
  if (!DecodeImageData(Stream, Tag, Size, Kind) && Kind != ikZlib) {
    ClearImageMemory(*HeaderChunk);
    Stream.SetPosition(DataStart);
    DecodeImageData(Stream, Tag, Size, ikZlib);
  }
  return true;
}

// False when the inflater gave the stream up.
bool TChunkIDAT::DecodeImageData(TStream& Stream, const TChunkTag& Tag, int32_t Size,
                                 TImageInflaterKind Kind) {
  int32_t RowBytes = 0;
  int32_t Stride = 0;
  OwnerImage()->GetRowGeometry(RowBytes, Stride);
  RowByteCount = static_cast<uint32_t>(RowBytes);
  FilterStride = static_cast<uint32_t>(Stride);
  TReadState State(Stream, Kind);
  State.Crc = UpdateCrc32(State.Crc, Tag.data(), 4);
  State.ChunkEnd = Stream.GetPosition() + Size;
  const bool HasPixels = DecodeWidth > 0 && DecodeHeight > 0 && HeaderChunk->ImageMemoryUsable();
  try {
    if (HasPixels && OwnerImage()->GetInterlaceKind() == 0)
      DecodeNonInterlaced(State);
    else if (HasPixels && OwnerImage()->GetInterlaceKind() == 1)
      DecodeAdam7(State);
  } catch (const EInflaterGaveUp&) {
    return false;
  }
  FinishLastChunk(State);
  return true;
}
