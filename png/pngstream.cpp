// Reading a PNG stream into the chunk list, and writing the list back.
#include "png/pngframe.h"

namespace {

constexpr TChunkTag ChrmTag = ChunkTagOf("cHRM");
constexpr int32_t ListGrowth = 10;

bool IsCriticalUnknown(const TChunk& Chunk, const TChunkTag& Tag) {
  return &Chunk.ClassType() == &TChunk::ClassInfo && (Tag[0] & 0x20) == 0 && Tag[0] != 0;
}

// The chunk frame's length and type; none when the stream ends inside them.
bool ReadFrame(TStream& Stream, uint32_t& Length, TChunkTag& Tag) {
  uint8_t Frame[8];
  if (Stream.ReadFully(Frame, sizeof Frame) != sizeof Frame)
    return false;
  Length = BigEndian32(Frame);
  std::copy_n(Frame + 4, 4, Tag.begin());
  return true;
}

} // namespace

void TPNGObject::LoadFromStream(TStream& Stream) {
  Clear();
  std::array<uint8_t, 8> Signature{};
  if (Stream.ReadFully(Signature.data(), Signature.size()) != 8 || Signature != PngSignature)
    RaisePngError<EPNGInvalidFileHeader>(PngMessage(MsgInvalidFileHeader));
  ReadChunks(Stream);
}

void TPNGObject::ReadChunks(TStream& Stream) {
  int32_t k = 0;
  bool HasImageData = false;
  ChunkList.SetCount(ListGrowth);
  for (;;) {
    ++k;
    if (ChunkList.Count() < k)
      ChunkList.SetCount(ChunkList.Count() + ListGrowth);
    uint32_t Length = 0;
    TChunkTag Tag{};
    if (!ReadFrame(Stream, Length, Tag)) {
      ChunkList.SetCount(k - 1);
      RaiseUnexpectedEnd();
    }
    if (k == 1 && Tag != IhdrTag) {
      ChunkList.SetCount(0);
      RaisePngError<EPNGIHDRNotFirst>(PngMessage(MsgIHDRNotFirst));
    }
    // A length with its top bit set is no PNG length; skipping by it would run backwards.
    if (Length > 0x7FFFFFFFu) {
      ChunkList.SetCount(k - 1);
      RaiseUnexpectedEnd();
    }
    if ((HasImageData && Tag == IdatTag) || Tag == ChrmTag) {
      --k;
      Stream.Seek(int64_t{Length} + 4, soCurrent);
      continue;
    }
    HasImageData = HasImageData || Tag == IdatTag;
    ChunkList.SetItem(k - 1, NewChunkOfType(this, Tag).release());
    TChunk& Chunk = *ChunkList.Item(k - 1);
    if (IsCriticalUnknown(Chunk, Tag)) {
      ChunkList.SetCount(k);
      RaisePngError<EPNGUnknownCriticalChunk>(PngMessage(MsgUnknownCriticalChunk));
    }
    bool Loaded = false;
    try {
      Loaded = Chunk.LoadChunk(Stream, Tag, static_cast<int32_t>(Length));
    } catch (...) {
      ChunkList.SetCount(k);
      throw;
    }
    if (!Loaded || Tag == IendTag)
      break;
  }
  ChunkList.SetCount(k);
  if (!HasImageData)
    RaisePngError<EPNGNoImageData>(PngMessage(MsgNoImageData));
}

void TPNGObject::SaveToStream(TStream& Stream) {
  Stream.WriteBuffer(PngSignature.data(), PngSignature.size());
  for (int32_t Index = 0; Index < ChunkList.Count(); ++Index)
    if (TChunk* Chunk = ChunkList.Item(Index))
      Chunk->SaveChunk(Stream);
}
