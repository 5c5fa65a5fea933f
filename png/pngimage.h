// The PNG image object and its chunk classes: the face of the codec.
#pragma once

#include "platform/core/classes.h"
#include "png/pnglang.h"

#include <zlib.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Exceptions. Every one descends directly from Exception and carries only its message: none is
// the base of another, so a handler for EPngError does not catch EPngInvalidCRC.

// clang-format off
struct EPNGOutMemory : Exception { using Exception::Exception; };
struct EPngError : Exception { using Exception::Exception; };
struct EPngUnexpectedEnd : Exception { using Exception::Exception; };
struct EPngInvalidCRC : Exception { using Exception::Exception; };
struct EPngInvalidIHDR : Exception { using Exception::Exception; };
struct EPNGMissingMultipleIDAT : Exception { using Exception::Exception; };
struct EPNGZLIBError : Exception { using Exception::Exception; };
struct EPNGInvalidPalette : Exception { using Exception::Exception; };
struct EPNGInvalidFileHeader : Exception { using Exception::Exception; };
struct EPNGIHDRNotFirst : Exception { using Exception::Exception; };
struct EPNGSizeExceeds : Exception { using Exception::Exception; };
struct EPNGUnknownCriticalChunk : Exception { using Exception::Exception; };
struct EPNGUnknownCompression : Exception { using Exception::Exception; };
struct EPNGUnknownInterlace : Exception { using Exception::Exception; };
struct EPNGNoImageData : Exception { using Exception::Exception; };
struct EPNGHeaderNotPresent : Exception { using Exception::Exception; };
// clang-format on

// ---------------------------------------------------------------------------------------------
// Byte order and CRC-32. PNG fields are big-endian on the wire.

uint32_t SwapBytes32(uint32_t Value);
// Swaps the two low bytes of Value; its upper 16 bits are ignored.
uint16_t SwapBytes16(uint32_t Value);
// Runs the PNG CRC-32 register over Length bytes (none when Length ≤ 0). Callers start with
// 0xFFFFFFFF and complement the result. The table is built on first use.
uint32_t UpdateCrc32(uint32_t Crc, const void* Buffer, int32_t Length);

// A chunk type as its four bytes in stream order.
using TChunkTag = std::array<uint8_t, 4>;

// The text a tag forms: its four bytes, cut at the first zero byte.
std::string ChunkTagText(const TChunkTag& Tag);
constexpr TChunkTag ChunkTagOf(std::string_view Text) {
  TChunkTag Tag{};
  for (size_t i = 0; i < Tag.size() && i < Text.size(); ++i)
    Tag[i] = static_cast<uint8_t>(Text[i]);
  return Tag;
}

class TPNGObject;
class TChunk;
class TChunkIHDR;

// ---------------------------------------------------------------------------------------------
// Class descriptors: what a class reference gives in the platform's object model. Each chunk
// class has one; its name spells the chunk type the class handles.

struct TChunkClass {
  std::string_view ClassName;
  const TChunkClass* Parent; // none for TChunk itself
  std::unique_ptr<TChunk> (*Create)(TPNGObject* Owner); // the virtual constructor

  // The class name without "TChunk": "IHDR" for TChunkIHDR, empty for TChunk.
  std::string_view ChunkTypeName() const;
  // True for this class and for its descendants.
  bool InheritsFrom(const TChunkClass& Ancestor) const;
};

// ---------------------------------------------------------------------------------------------
// The base of all chunk classes. A chunk of a type no registered class handles is a plain
// TChunk: it keeps its body as read and writes it back unchanged.

class TChunk {
public:
  static const TChunkClass ClassInfo;
  using Inherited = TChunk;

  explicit TChunk(TPNGObject* Owner) : TChunk(Owner, ClassInfo) {}
  TChunk(const TChunk&) = delete;
  TChunk& operator=(const TChunk&) = delete;
  virtual ~TChunk() = default;

  // The virtual operations, in the order of their slots. The first slot, the class-level type
  // name, and the third, the virtual constructor, are the class descriptor's ChunkTypeName and
  // Create: ClassType() is the way to them from an instance.
  virtual const TChunkClass& ClassType() const { return ClassInfo; }
  virtual void AssignChunk(const TChunk& Source);
  // Reads the body and CRC; the stream stands at the first body byte. Size comes from the frame.
  virtual bool LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size);
  // Writes the whole chunk: length, type, body and CRC.
  virtual bool SaveChunk(TStream& Stream);

  std::string_view ChunkTypeName() const { return ClassType().ChunkTypeName(); }

  uint8_t* ChunkBody() { return FBody.data(); }
  const uint8_t* ChunkBody() const { return FBody.data(); }
  int32_t ChunkBodySize() const { return FBodySize; }
  TPNGObject* OwnerImage() const { return FOwnerImage; }
  TChunkTag ChunkTag{};

  // Sets the body length, keeping the bytes up to the smaller of the two sizes. The buffer always
  // holds one spare byte beyond the body.
  void ResizeBody(int32_t NewSize);
  // The owner's first chunk as a header: none when the list is empty, EInvalidCast when the first
  // chunk is of another class.
  TChunkIHDR* OwnerHeader() const;

protected:
  TChunk(TPNGObject* Owner, const TChunkClass& Class);

private:
  std::vector<uint8_t> FBody;
  int32_t FBodySize = 0;
  TPNGObject* FOwnerImage;
};

// What every chunk class but TChunk repeats: its descriptor and the way to it from an instance.
template <class Self, class Base = TChunk>
class TChunkWithClass : public Base {
public:
  using Inherited = Base;
  explicit TChunkWithClass(TPNGObject* Owner) : Base(Owner, Self::ClassInfo) {}
  const TChunkClass& ClassType() const override { return Self::ClassInfo; }

protected:
  TChunkWithClass(TPNGObject* Owner, const TChunkClass& Class) : Base(Owner, Class) {}
};

// The checked class cast: none stays none, a chunk of another class raises EInvalidCast.
template <class T>
T* ChunkCast(TChunk* Chunk) {
  if (Chunk == nullptr)
    return nullptr;
  if (!Chunk->ClassType().InheritsFrom(T::ClassInfo))
    throw EInvalidCast();
  return static_cast<T*>(Chunk);
}

// The standard chunk classes. Their behaviour comes with the parts of the codec that need it;
// until then they load and save like the base class.
class TChunkIEND : public TChunkWithClass<TChunkIEND> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;
};
class TChunkIHDR : public TChunkWithClass<TChunkIHDR> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;
};
class TChunkIDAT : public TChunkWithClass<TChunkIDAT> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;
};
class TChunkPLTE : public TChunkWithClass<TChunkPLTE> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;
};
class TChunkgAMA : public TChunkWithClass<TChunkgAMA> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;
};
class TChunktRNS : public TChunkWithClass<TChunktRNS> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;
};
class TChunktIME : public TChunkWithClass<TChunktIME> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;
};
class TChunktEXt : public TChunkWithClass<TChunktEXt> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;
};
class TChunkzTXt : public TChunkWithClass<TChunkzTXt, TChunktEXt> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;
};

// ---------------------------------------------------------------------------------------------
// Pointer lists. A list owns its slot array, not what the slots point to. Count is exact; the
// array beneath grows geometrically, so a long run of Add stays linear.

class TPNGPointerList {
public:
  explicit TPNGPointerList(TPNGObject* Owner) : FListOwner(Owner) {}
  TPNGPointerList(const TPNGPointerList&) = delete;
  TPNGPointerList& operator=(const TPNGPointerList&) = delete;
  virtual ~TPNGPointerList() = default;

  // Takes the last slot that holds Pointer, moving the later ones down; none when not held.
  virtual void* Remove(void* Pointer);

  TPNGObject* ListOwner() const { return FListOwner; }
  int32_t Count() const { return FCount; }
  // None outside 0..Count-1.
  void* Item(int32_t Index) const;
  // Does nothing outside 0..Count-1.
  void SetItem(int32_t Index, void* Pointer);
  // Kept slots keep their content, new ones hold none; a count of 0 or less frees the array.
  void SetCount(int32_t NewCount);
  void Add(void* Pointer);

private:
  TPNGObject* FListOwner;
  int32_t FCount = 0;
  std::vector<void*> FSlots;
};

class TPNGList : public TPNGPointerList {
public:
  using TPNGPointerList::TPNGPointerList;
  TChunk* Item(int32_t Index) const { return static_cast<TChunk*>(TPNGPointerList::Item(Index)); }
  // The first chunk from index 0 up of class ChunkClass or a descendant of it; none otherwise.
  TChunk* ItemOfClass(const TChunkClass& ChunkClass) const;
};

// ---------------------------------------------------------------------------------------------
// The chunk-class registry: the order of registration is the order of lookup.

void RegisterChunkClass(const TChunkClass& ChunkClass);
// IEND, IHDR, IDAT, PLTE, gAMA, tRNS, tIME, tEXt, zTXt, in that order.
void RegisterStandardChunkClasses();
void ReleaseChunkClasses();
// The registered classes, in lookup order.
const std::vector<const TChunkClass*>& RegisteredChunkClasses();
// A chunk of the first registered class whose type name equals the tag's text exactly (letter
// case counts), or a plain TChunk; its ChunkTag is Tag either way.
std::unique_ptr<TChunk> NewChunkOfType(TPNGObject* Owner, const TChunkTag& Tag);

// Unit start-up and shut-down of pngimage, called in order by the program and the test main.
void InitializePngImageUnit();
void FinalizePngImageUnit();

// ---------------------------------------------------------------------------------------------
// The PNG image.

class TPNGObject {
public:
  TPNGObject() = default;
  TPNGObject(const TPNGObject&) = delete;
  TPNGObject& operator=(const TPNGObject&) = delete;
  virtual ~TPNGObject();

  // Frees every chunk and empties the list.
  void Clear();

  // Creates and raises an exception of class E with Text. It reads nothing of the image, so it
  // is static: a chunk without an owner can raise through it as well.
  template <class E>
  [[noreturn]] static void RaisePngError(const std::string& Text) {
    throw E(Text);
  }

  TPNGList ChunkList{this};
};

// ---------------------------------------------------------------------------------------------
// zlib stream helpers.

// The inflater's input buffer, refilled from the data stream.
constexpr int32_t ZlibInputBufferSize = 65535;

// zlib's stream state joined with its work buffer and the stream it serves. It ends whatever
// was begun and not ended when it goes, so no path leaks zlib's state.
struct ZlibStream {
  enum TDirection { zdNone, zdInflating, zdDeflating };

  ZlibStream() = default;
  ZlibStream(const ZlibStream&) = delete;
  ZlibStream& operator=(const ZlibStream&) = delete;
  ~ZlibStream();

  z_stream ZLib{};
  std::unique_ptr<uint8_t[]> WorkBuffer;
  int32_t WorkBufferSize = 0;
  TStream* DataStream = nullptr;
  TDirection Direction = zdNone;
};

// Both raise EPNGZLIBError with the zlib text of the failing code when zlib cannot start (a level
// outside 0..9, no memory), with the work buffer already freed.
void BeginInflate(TStream& Stream, ZlibStream& Record);
void BeginDeflate(TStream& Stream, uint8_t Level, int32_t BufferSize, ZlibStream& Record);
void EndInflate(ZlibStream& Record);
// Output still pending inside zlib is discarded: the caller finishes with Z_FINISH first.
void EndDeflate(ZlibStream& Record);

// "data error (-3)" and the like; a code outside zlib's table gives "(code)".
std::string ZlibErrorText(int Code);
// Raises EPNGZLIBError whose message is MsgZlibError followed by ZlibErrorText(Code).
[[noreturn]] void RaiseZlibError(int Code);

enum TInflateResult { irDone, irDamaged, irOverCap };

// Inflates one whole zlib stream. irDamaged: empty input, broken, truncated or dictionary-bound
// data, with zlib's text in ErrorText; irOverCap: the data holds more than MaxOutputSize bytes,
// of which the first MaxOutputSize are in Output. Never raises.
TInflateResult InflateBuffer(const uint8_t* Input, int32_t InputSize, size_t MaxOutputSize,
                             std::vector<uint8_t>& Output, std::string& ErrorText);
// Deflates Input into one complete zlib stream; false with zlib's text on failure. Never raises.
bool DeflateBuffer(const uint8_t* Input, int32_t InputSize, int32_t Level,
                   std::vector<uint8_t>& Output, std::string& ErrorText);
