// The chunk base class, the class descriptors of the standard chunk classes.
#include "png/pngframe.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr std::string_view ClassNamePrefix = "TChunk";

template <class C>
std::unique_ptr<TChunk> ConstructChunk(TPNGObject* Owner) {
  return std::make_unique<C>(Owner);
}

template <class C>
constexpr TChunkClass DescribeChunkClass(std::string_view ClassName) {
  return {ClassName, &C::Inherited::ClassInfo, &ConstructChunk<C>};
}

} // namespace

// A class's descriptor is named from the class identifier itself, so its chunk type is always
// spelled by the class name.
#define DEFINE_CHUNK_CLASS(C) const TChunkClass C::ClassInfo = DescribeChunkClass<C>(#C)

const TChunkClass TChunk::ClassInfo{"TChunk", nullptr, &ConstructChunk<TChunk>};
DEFINE_CHUNK_CLASS(TChunkIEND);
DEFINE_CHUNK_CLASS(TChunkIHDR);
DEFINE_CHUNK_CLASS(TChunkIDAT);
DEFINE_CHUNK_CLASS(TChunkPLTE);
DEFINE_CHUNK_CLASS(TChunkgAMA);
DEFINE_CHUNK_CLASS(TChunktRNS);
DEFINE_CHUNK_CLASS(TChunktIME);
DEFINE_CHUNK_CLASS(TChunktEXt);
DEFINE_CHUNK_CLASS(TChunkzTXt);

std::string_view TChunkClass::ChunkTypeName() const {
  return ClassName.substr(std::min(ClassName.size(), ClassNamePrefix.size()));
}

bool TChunkClass::InheritsFrom(const TChunkClass& Ancestor) const {
  for (const TChunkClass* Class = this; Class != nullptr; Class = Class->Parent)
    if (Class == &Ancestor)
      return true;
  return false;
}

TChunk::TChunk(TPNGObject* Owner, const TChunkClass& Class) : FBody(1), FOwnerImage(Owner) {
  const std::string_view TypeName = Class.ChunkTypeName();
  if (TypeName.size() == ChunkTag.size())
    ChunkTag = ChunkTagOf(TypeName);
}

void TChunk::ResizeBody(int32_t NewSize) {
  // A negative size cannot be had; the frame readers never ask for one.
  if (NewSize < 0)
    throw EOutOfMemory();
  try {
    FBody.resize(static_cast<size_t>(NewSize) + 1);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  }
  FBodySize = NewSize;
}

void TChunk::AssignChunk(const TChunk& Source) {
  ChunkTag = Source.ChunkTag;
  ResizeBody(Source.ChunkBodySize());
  if (FBodySize != 0)
    std::memcpy(ChunkBody(), Source.ChunkBody(), static_cast<size_t>(FBodySize));
}

bool TChunk::LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) {
  // The frame is checked before anything is allocated: a length with the top bit set, or a body
  // and CRC the stream cannot deliver, is an unexpected end and leaves the body empty.
  if (Size < 0 || int64_t{Size} + 4 > StreamRemaining(Stream)) {
    ResizeBody(0);
    RaiseUnexpectedEnd();
  }
  ResizeBody(Size);
  ReadChunkBytes(Stream, ChunkBody(), Size);
  const uint32_t StoredCrc = ReadBigEndian32(Stream);
  if (ChunkCrc(Tag, ChunkBody(), Size) != StoredCrc)
    TPNGObject::RaisePngError<EPngInvalidCRC>(PngMessage(MsgInvalidCRC));
  return true;
}

bool TChunk::SaveChunk(TStream& Stream) {
  WriteChunk(Stream, ChunkTag, ChunkBody(), static_cast<uint32_t>(FBodySize));
  return true;
}

TChunkIHDR* TChunk::OwnerHeader() const {
  if (FOwnerImage == nullptr)
    return nullptr;
  return ChunkCast<TChunkIHDR>(FOwnerImage->ChunkList.Item(0));
}
