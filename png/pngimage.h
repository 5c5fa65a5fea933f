// The PNG image object and its chunk classes: the face of the codec.
#pragma once

#include "platform/core/classes.h"
#include "platform/core/limits.h"
#include "platform/graphics/graphics.h"
#include "png/pnglang.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
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
// 0xFFFFFFFF and complement the result.
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
  const TChunkClass* Parent;                            // none for TChunk itself
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

// PNG colour types.
constexpr uint8_t COLOR_GRAYSCALE = 0;
constexpr uint8_t COLOR_RGB = 2;
constexpr uint8_t COLOR_PALETTE = 3;
constexpr uint8_t COLOR_GRAYSCALEALPHA = 4;
constexpr uint8_t COLOR_RGBALPHA = 6;

// The bytes a PNG row of PixelCount pixels takes, filter byte not counted; 0 for an unknown
// colour type.
int32_t RowSizeForPixels(int32_t PixelCount, uint8_t ColorType, uint8_t BitDepth);

// True for the colour type and bit depth pairs the PNG standard allows.
bool ValidColorAndDepth(uint8_t ColorType, uint8_t BitDepth);

class TChunkIEND : public TChunkWithClass<TChunkIEND> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;
};

// The header: the seven fields of the PNG header and the image memory they describe, a
// bottom-up DIB section (24-bit blue, green, red, or 1/4/8-bit indexed through DibInfo's colour
// table) with a separate top-down alpha plane for colour types 4 and 6.
class TChunkIHDR : public TChunkWithClass<TChunkIHDR> {
public:
  static const TChunkClass ClassInfo;
  explicit TChunkIHDR(TPNGObject* Owner) : TChunkWithClass(Owner) {}
  ~TChunkIHDR() override { FreeImageMemory(); }

  void AssignChunk(const TChunk& Source) override;
  bool LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) override;
  bool SaveChunk(TStream& Stream) override;

  // Builds the image memory for the header fields, zeroed; EPNGOutMemory when it cannot be had
  // at full size, with nothing left half made.
  void CreateImageMemory();
  void FreeImageMemory();
  // The header describes a valid image and its memory exists as it says (an image of no pixels
  // needs none). Everything that touches pixels asks this first.
  bool ImageMemoryUsable() const;
  // The first byte of image row Row (0 = top) in the DIB, and of its alpha row.
  uint8_t* ImageRow(uint32_t Row) const;
  uint8_t* AlphaRow(uint32_t Row) const;
  int BitCount() const { return DibInfo.bmiHeader.biBitCount; }
  bool HasAlpha() const { return ColorType == COLOR_GRAYSCALEALPHA || ColorType == COLOR_RGBALPHA; }

  HBITMAP DibHandle = nullptr;
  HDC DibDC = nullptr;
  bool PaletteMode = false;
  BITMAPINFO DibInfo{};
  int32_t RowStride = 0;
  uint8_t* PixelBase = nullptr;
  uint8_t* AlphaPlane = nullptr;
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint8_t BitDepth = 0;
  uint8_t ColorType = 0;
  uint8_t CompressionMethod = 0;
  uint8_t FilterMethod = 0;
  uint8_t InterlaceMethod = 0;

private:
  bool IsOwnersHeader() const;
  void CheckFields();
  void WidenTwoBitDepth();
  void FillDibHeader(int BitCount, bool IndexedMode);
  void ChooseDibFormat();
};

class TChunkIDAT;
class TRowInflater;
enum TImageInflaterKind : int;

// A row decoder stores one unfiltered PNG row; a pass decoder one row of an Adam7 pass.
using TRowDecoder = void (*)(const TChunkIDAT& Decoder, const uint8_t* Source, uint8_t* Dest,
                             uint8_t* Alpha);
using TPassDecoder = void (*)(const TChunkIDAT& Decoder, int Pass, const uint8_t* Source,
                              uint8_t* Alpha, uint8_t* Dest);

// The image data. Loading the first IDAT chunk decodes the whole image, reading the IDAT chunks
// that follow as the compressed data needs them.
class TChunkIDAT : public TChunkWithClass<TChunkIDAT> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;

  bool LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) override;
  // Writes the whole image from the image memory: rows encoded, filtered and compressed one at
  // a time into IDAT chunks of MaxDataChunkSize bytes (the last one shorter).
  bool SaveChunk(TStream& Stream) override;

  // The body length of the first IDAT chunk as read (the body itself is not kept).
  int32_t FirstChunkBodySize = 0;
  TChunkIHDR* HeaderChunk = nullptr;
  int32_t DecodeWidth = 0;
  int32_t DecodeHeight = 0;
  uint32_t RowByteCount = 0;
  uint32_t FilterStride = 0;

private:
  bool DecodeImageData(TStream& Stream, int32_t Size, TImageInflaterKind Kind);
  void BuildGrayColorTable();
  using TTakeRow = std::function<void(uint32_t Index, const uint8_t* Bytes)>;
  bool DecodeRows(TRowInflater& Source, uint32_t Count, const TTakeRow& Take);
  void DecodeNonInterlaced(TRowInflater& Source);
  void DecodeAdam7(TRowInflater& Source);

  struct TWriteState;
  void WriteRowsNonInterlaced(TWriteState& State);
  void WriteRowsAdam7(TWriteState& State);
  void WriteRow(TWriteState& State);
  uint8_t ChooseRowFilter(TWriteState& State) const;
};

// The palette. Its entries live in the header's colour table, gamma-corrected.
class TChunkPLTE : public TChunkWithClass<TChunkPLTE> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;

  void AssignChunk(const TChunk& Source) override;
  bool LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) override;
  bool SaveChunk(TStream& Stream) override;

  // The colour-table entry as blue | green << 8 | red << 16; EPngError beyond EntryCount.
  uint32_t GetEntry(uint8_t Index) const;

  int32_t EntryCount = 0;
};

// The transparency chunk: a palette's alpha values, or the key sample of a grey or truecolour
// image, kept as the body bytes in AlphaTable.
class TChunktRNS : public TChunkWithClass<TChunktRNS> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;

  void AssignChunk(const TChunk& Source) override;
  bool LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) override;
  bool SaveChunk(TStream& Stream) override;

  // The key colour as the image shows it (0 where there is no key); and the key to set, given
  // as a shown colour.
  COLORREF GetKeyColor() const;
  void SetKeyColor(COLORREF Color);
  // A grey key of exactly 2 bytes or a truecolour key of exactly 6, each sample within the bit
  // depth. Anything else is no key at all: the image is opaque.
  bool HasValidKey() const;
  // The palette entries the body speaks for: j < min(body length, palette entries, 2^depth).
  int32_t PaletteEntriesCovered() const;
  // Those of them whose alpha is below 255.
  int TranslucentPaletteEntries() const;
  // The colour-table index the key's pixels are stored as: the first clear palette entry, or
  // the valid grey key sample as held; -1 where there is none.
  int KeyIndex() const;

  bool BinaryTransparency = false;
  std::array<uint8_t, 256> AlphaTable{};

private:
  uint16_t KeySample(int Index) const;
  void RewriteKeyAsWritten();
  int StoredGreyIndex(uint16_t Sample) const;
  uint8_t ShownGrey(uint16_t Sample) const;
};

// The image gamma, times 100000, held as the 4-byte body itself.
class TChunkgAMA : public TChunkWithClass<TChunkgAMA> {
public:
  static const TChunkClass ClassInfo;
  explicit TChunkgAMA(TPNGObject* Owner);

  void AssignChunk(const TChunk& Source) override;
  bool LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) override;

  // 1 for a body that is not 4 bytes long, which is kept as read.
  uint32_t GetGammaValue() const;
  void SetGammaValue(uint32_t Value);
  // True when the body is the 4 bytes of a value.
  bool ValidBody() const { return ChunkBodySize() == 4; }

private:
  bool PrecedesPaletteAndData() const;
};

// e raised to Exponent times the logarithm of Base, 1 for exponent 0 and 0 for base 0.
long double RaiseToPower(long double Base, long double Exponent);

class TChunktIME : public TChunkWithClass<TChunktIME> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;

  void AssignChunk(const TChunk& Source) override;
  bool LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) override;
  bool SaveChunk(TStream& Stream) override;

  uint16_t Year = 0;
  uint8_t Month = 0;
  uint8_t Day = 0;
  uint8_t Hour = 0;
  uint8_t Minute = 0;
  uint8_t Second = 0;
};

class TChunktEXt : public TChunkWithClass<TChunktEXt> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;

  void AssignChunk(const TChunk& Source) override;
  bool LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) override;
  bool SaveChunk(TStream& Stream) override;

  std::string Keyword;
  std::string Text;

protected:
  // Splits the body at its first zero byte: the keyword before, the rest after. A body without
  // one is all keyword. Returns the keyword's length.
  size_t SplitKeyword();
};

// A text stored deflate-compressed. A text that does not inflate, or would pass the limits, is
// not decoded (MaxZtxtChunkText, MaxZtxtImageText): Text stays empty and the chunk writes back
// its compressed body as read.
class TChunkzTXt : public TChunkWithClass<TChunkzTXt, TChunktEXt> {
public:
  static const TChunkClass ClassInfo;
  using TChunkWithClass::TChunkWithClass;

  void AssignChunk(const TChunk& Source) override;
  bool LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) override;
  bool SaveChunk(TStream& Stream) override;

  // True when Text holds the decoded text; false when the body is kept as read.
  bool TextDecoded = true;
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
  // Appends Chunk, which the list's image owns from then on; when the list cannot grow, the
  // chunk goes with the exception.
  template <class T>
  T* Add(std::unique_ptr<T> Chunk) {
    TPNGPointerList::Add(Chunk.get());
    return Chunk.release();
  }
  // The first chunk from index 0 up of class ChunkClass or a descendant of it; none otherwise.
  TChunk* ItemOfClass(const TChunkClass& ChunkClass) const;
  // The same, typed: the first chunk of class T or a descendant of it.
  template <class T>
  T* ItemOf() const {
    return static_cast<T*>(ItemOfClass(T::ClassInfo));
  }
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

// The 8 bytes every PNG stream begins with.
constexpr std::array<uint8_t, 8> PngSignature{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

enum TTransparencyKind { trOpaque, trColorKey, trAlpha };

// The PNG standard's filter types, as a row's filter byte holds them.
enum TFilterType : uint8_t { ftNone, ftSub, ftUp, ftAverage, ftPaeth };
constexpr uint8_t FilterTypeCount = ftPaeth + 1;

// Filter types, as bits of RowFilters.
constexpr uint8_t pfNone = 1 << ftNone;
constexpr uint8_t pfSub = 1 << ftSub;
constexpr uint8_t pfUp = 1 << ftUp;
constexpr uint8_t pfAverage = 1 << ftAverage;
constexpr uint8_t pfPaeth = 1 << ftPaeth;
constexpr uint8_t AllRowFilters = pfNone | pfSub | pfUp | pfAverage | pfPaeth;

constexpr uint32_t MinDataChunkSize = 65535;
constexpr uint32_t MaxDataChunkSizeLimit = 0x7FFFFFFF;

// The threads a save compresses image data on. An image's own setting wins where it has one;
// the process-wide one starts at the number of cores. Either way at most MaxEncodeThreads, and
// the file written is the same for every count.
constexpr unsigned MaxEncodeThreads = 16;
unsigned DefaultEncodeThreads();
// 0 goes back to the number of cores.
void SetDefaultEncodeThreads(unsigned Count);

// The PNG image as a graphic of the picture framework: the list of its chunks, the gamma
// tables, and the writer's settings. The header chunk, always first when there is one, owns the
// pixels.
class TPNGObject : public TGraphic {
public:
  static const TGraphicClass ClassInfo;

  TPNGObject();
  ~TPNGObject() override;

  std::string ClassName() const override { return "TPNGObject"; }
  void AssignTo(TPersistent& Dest) override;
  // The image's own colours into Dest, without a key or the colour a key entry is given for
  // drawing: what a bitmap file, which holds no transparency, is written from. Raises where
  // AssignTo to a bitmap does.
  void AssignStoredColorsTo(TBitmap& Dest);
  void Assign(TPersistent& Source) override;
  // Paints the image into Rect: opaque and colour-keyed images stretched to fill it, images with
  // alpha blended at their own size at its top-left corner. Nothing without usable pixels.
  void Draw(TCanvas& Canvas, const TRect& Rect) override;
  bool GetEmpty() override { return ChunkList.Count() == 0; }
  int32_t GetHeight() override;
  // A logical palette of the colour table for grey and palette images, made once and kept in
  // ScratchPalette; none for the others. EPNGHeaderNotPresent without a header.
  HPALETTE GetPalette() override;
  // True unless the image is opaque; EPNGHeaderNotPresent without a header.
  bool GetTransparent() override;
  int32_t GetWidth() override;
  // The image cannot be resized this way: both raise EPngError.
  void SetHeight(int32_t Value) override;
  void SetWidth(int32_t Value) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  // Through a platform bitmap: the image drawn onto a new white bitmap of its size, and back by
  // importing the bitmap the clipboard holds.
  void LoadFromClipboardFormat(uint16_t Format, HANDLE Data, HPALETTE Palette) override;
  void SaveToClipboardFormat(uint16_t& Format, HANDLE& Data, HPALETTE& Palette) override;
  // The colour of one pixel, as shown; outside the image 0, and setting there does nothing.
  virtual COLORREF GetPixelColor(int32_t X, int32_t Y);
  virtual void SetPixelColor(int32_t X, int32_t Y, COLORREF Color);

  // Creates and raises an exception of class E with Text. It reads nothing of the image, so it
  // is static: a chunk without an owner can raise through it as well.
  template <class E>
  [[noreturn]] static void RaisePngError(const std::string& Text) {
    throw E(Text);
  }

  // Frees every chunk, empties the list and makes the gamma tables identity.
  void Clear();
  void ResetGammaTables();
  bool HasHeader() const;
  // The header chunk; EPNGHeaderNotPresent without one.
  TChunkIHDR& Header() const;
  // The bytes of a full image row and the distance back to the previous pixel's byte; 0 and 0
  // without a header.
  void GetRowGeometry(int32_t& RowBytes, int32_t& Stride) const;
  // Makes this image a copy of Source: settings, gamma tables and every chunk.
  void CopyFromPNG(TPNGObject& Source);

  // Rebuilds the image from a platform bitmap: a palette image of its depth below 16 bits per
  // pixel, 8-bit truecolour above, with a tRNS chunk for a transparent bitmap's key. The image is
  // unchanged when the handle is no bitmap it can take; after a later failure it is empty.
  void ImportBitmapHandle(HBITMAP Handle, bool Transparent, COLORREF KeyColor);
  // The first byte of image row Y, counted from the top; Y is not range-tested.
  uint8_t* RowAddress(int32_t Y) const;
  COLORREF GetIndexedPixel(int32_t X, int32_t Y) const;
  void SetIndexedPixel(int32_t X, int32_t Y, COLORREF Color);
  COLORREF GetRGBPixel(int32_t X, int32_t Y) const;
  void SetRGBPixel(int32_t X, int32_t Y, COLORREF Color);

  TTransparencyKind TransparencyKind() const;
  // The shown key colour of the first tRNS chunk, 0 without one.
  COLORREF ImageKeyColor() const;
  // The colour table and key a colour-keyed image draws with. A key is by index: when another
  // entry shares the key entry's colour, the key entry gets a colour of its own in this copy, so
  // that only the transparent index is keyed. The image memory is not touched.
  void KeyedDrawingInfo(BITMAPINFO& Info, COLORREF& Key) const;
  // Blends the image over a top-down 32-bit buffer of Width x Height pixels (blue, green, red,
  // and a fourth byte left alone): the whole of alpha blending that needs no platform.
  void BlendOver(uint8_t* Buffer) const;

  uint8_t GetRowFilters() const { return FRowFilters; }
  void SetRowFilters(uint8_t Filters) { FRowFilters = Filters & AllRowFilters; }
  uint8_t GetInterlaceKind() const { return FInterlaceKind; }
  // Only 0 (none) and 1 (Adam7); other values change nothing.
  void SetInterlaceKind(uint8_t Kind);
  uint32_t GetMaxDataChunkSize() const { return FMaxDataChunkSize; }
  // Clamped to 65535 .. 2^31 - 1.
  void SetMaxDataChunkSize(uint32_t Value);
  // The image's own thread count, or the process-wide one where it has none.
  unsigned GetEncodeThreads() const;
  // 0 follows the process-wide setting; above MaxEncodeThreads is MaxEncodeThreads.
  void SetEncodeThreads(unsigned Count);

  std::array<uint8_t, 256> GammaLut{};
  std::array<uint8_t, 256> InverseGammaLut{};
  HPALETTE ScratchPalette = nullptr;
  uint8_t ZlibLevel = 7;
  TPNGList ChunkList{this};
  // What this image's zTXt chunks have inflated so far, against MaxZtxtImageText.
  size_t InflatedTextBytes = 0;

private:
  void ReadChunks(TStream& Stream);
  void DrawAlphaBlended(HDC DC, const TRect& Rect) const;
  enum TBitmapUse { buDrawing, buFile };
  void AssignToBitmap(TBitmap& Dest, TBitmapUse Use) const;

  uint8_t FRowFilters = pfSub;
  uint32_t FMaxDataChunkSize = MinDataChunkSize;
  uint8_t FInterlaceKind = 0;
  unsigned FEncodeThreads = 0;
};

// Registers TPNGObject with the picture framework for "PNG" files, and takes it out again.
void RegisterPngGraphic();
void UnregisterPngGraphic();
