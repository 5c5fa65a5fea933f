// The header chunk and the image memory it owns.
#include "platform/core/sysutils.h"
#include "png/pngframe.h"
#include "png/pnggdi.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t HeaderBodySize = 13;
constexpr uint32_t MaxImageSide = 65535;

// The DIB bit count that holds a PNG colour type and depth: 2-bit samples in 4-bit pixels,
// 16-bit grey as its high byte; 0 for a pair without a DIB format.
int DibBitCountFor(uint8_t ColorType, uint8_t BitDepth) {
  switch (ColorType) {
  case COLOR_GRAYSCALE:
  case COLOR_PALETTE:
  case COLOR_GRAYSCALEALPHA:
    switch (BitDepth) {
    case 1:
      return 1;
    case 2:
    case 4:
      return 4;
    case 8:
    case 16:
      return 8;
    default:
      return 0;
    }
  case COLOR_RGB:
  case COLOR_RGBALPHA:
    return 24;
  default:
    return 0;
  }
}

} // namespace

int32_t RowSizeForPixels(int32_t PixelCount, uint8_t ColorType, uint8_t BitDepth) {
  const int64_t Bits = int64_t{PixelCount} * BitDepth;
  switch (ColorType) {
  case COLOR_GRAYSCALE:
  case COLOR_PALETTE:
    return static_cast<int32_t>((Bits + 7) / 8);
  case COLOR_RGB:
    return static_cast<int32_t>(Bits * 3 / 8);
  case COLOR_GRAYSCALEALPHA:
    return static_cast<int32_t>(Bits * 2 / 8);
  case COLOR_RGBALPHA:
    return static_cast<int32_t>(Bits * 4 / 8);
  default:
    return 0;
  }
}

bool ValidColorAndDepth(uint8_t ColorType, uint8_t BitDepth) {
  switch (ColorType) {
  case COLOR_GRAYSCALE:
    return BitDepth == 1 || BitDepth == 2 || BitDepth == 4 || BitDepth == 8 || BitDepth == 16;
  case COLOR_PALETTE:
    return BitDepth == 1 || BitDepth == 2 || BitDepth == 4 || BitDepth == 8;
  case COLOR_RGB:
  case COLOR_GRAYSCALEALPHA:
  case COLOR_RGBALPHA:
    return BitDepth == 8 || BitDepth == 16;
  default:
    return false;
  }
}

bool TChunkIHDR::IsOwnersHeader() const {
  return OwnerImage() != nullptr && OwnerImage()->ChunkList.Item(0) == this;
}

bool TChunkIHDR::LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) {
  if (!TChunk::LoadChunk(Stream, Tag, Size))
    return false;
  if (Size < HeaderBodySize) {
    FreeImageMemory();
    TPNGObject::RaisePngError<EPngInvalidIHDR>(PngMessage(MsgInvalidIHDR));
  }
  const uint8_t* Body = ChunkBody();
  Width = BigEndian32(Body);
  Height = BigEndian32(Body + 4);
  BitDepth = Body[8];
  ColorType = Body[9];
  CompressionMethod = Body[10];
  FilterMethod = Body[11];
  InterlaceMethod = Body[12];
  CheckFields();
  // Only the image's own header, the first chunk, builds image memory: a later one keeps its
  // fields and nothing more.
  if (!IsOwnersHeader())
    return true;
  OwnerImage()->SetInterlaceKind(InterlaceMethod);
  CreateImageMemory();
  return true;
}

// The checks in their order; a rejected header keeps its fields but no image memory.
void TChunkIHDR::CheckFields() {
  auto Reject = [this](auto Raise) {
    FreeImageMemory();
    Raise();
  };
  if (Width > MaxImageSide || Height > MaxImageSide)
    Reject([] { TPNGObject::RaisePngError<EPNGSizeExceeds>(PngMessage(MsgSizeExceeds)); });
  if (CompressionMethod != 0)
    Reject([] {
      TPNGObject::RaisePngError<EPNGUnknownCompression>(PngMessage(MsgUnknownCompression));
    });
  if (InterlaceMethod > 1)
    Reject(
        [] { TPNGObject::RaisePngError<EPNGUnknownInterlace>(PngMessage(MsgUnknownInterlace)); });
  if (!ValidColorAndDepth(ColorType, BitDepth))
    Reject([] { TPNGObject::RaisePngError<EPngInvalidIHDR>(PngMessage(MsgInvalidIHDR)); });
}

// A 2-bit image is held, and written, as 4 bits per pixel. Its grey key follows the samples, and
// chunks that are unsafe to copy after a change to the header go, as the PNG copy rules require.
void TChunkIHDR::WidenTwoBitDepth() {
  TPNGObject* Owner = OwnerImage();
  auto* Transparency = Owner != nullptr ? Owner->ChunkList.ItemOf<TChunktRNS>() : nullptr;
  const bool GreyKey =
      ColorType == COLOR_GRAYSCALE && Transparency != nullptr && Transparency->HasValidKey();
  BitDepth = 4;
  if (GreyKey)
    Transparency->AlphaTable[1] = static_cast<uint8_t>(Transparency->AlphaTable[1] * 5);
  if (Owner == nullptr)
    return;
  TPNGList& List = Owner->ChunkList;
  int32_t Kept = 0;
  for (int32_t Index = 0; Index < List.Count(); ++Index) {
    TChunk* Chunk = List.Item(Index);
    const bool UnsafeUnknown = Chunk != nullptr && &Chunk->ClassType() == &TChunk::ClassInfo &&
                               (Chunk->ChunkTag[3] & 0x20) == 0;
    if (UnsafeUnknown)
      delete Chunk;
    else
      List.SetItem(Kept++, Chunk);
  }
  List.SetCount(Kept);
}

// Only the image's own header describes the pixels written; a later one is written as read, and
// must not prune the list the writer is walking nor rescale the image's key a second time.
bool TChunkIHDR::SaveChunk(TStream& Stream) {
  if (BitDepth == 2 && IsOwnersHeader())
    WidenTwoBitDepth();
  ResizeBody(HeaderBodySize);
  uint8_t* Body = ChunkBody();
  PutBigEndian32(Body, Width);
  PutBigEndian32(Body + 4, Height);
  Body[8] = BitDepth;
  Body[9] = ColorType;
  Body[10] = CompressionMethod;
  Body[11] = FilterMethod;
  Body[12] = OwnerImage() != nullptr ? OwnerImage()->GetInterlaceKind() : InterlaceMethod;
  return TChunk::SaveChunk(Stream);
}

void TChunkIHDR::AssignChunk(const TChunk& Source) {
  const auto& Other = CheckedSource<TChunkIHDR>(Source);
  Width = Other.Width;
  Height = Other.Height;
  BitDepth = Other.BitDepth;
  ColorType = Other.ColorType;
  CompressionMethod = Other.CompressionMethod;
  FilterMethod = Other.FilterMethod;
  InterlaceMethod = Other.InterlaceMethod;
  if (!IsOwnersHeader())
    return;
  CreateImageMemory();
  std::memcpy(DibInfo.bmiColors, Other.DibInfo.bmiColors, sizeof DibInfo.bmiColors);
  if (PixelBase != nullptr && Other.PixelBase != nullptr && Other.RowStride == RowStride)
    std::memcpy(PixelBase, Other.PixelBase, static_cast<size_t>(RowStride) * Height);
  if (AlphaPlane != nullptr && Other.AlphaPlane != nullptr)
    std::memcpy(AlphaPlane, Other.AlphaPlane, size_t{Width} * Height);
}

void TChunkIHDR::FillDibHeader(int Count, bool IndexedMode) {
  PaletteMode = IndexedMode;
  DibInfo = BITMAPINFO{};
  BITMAPINFOHEADER& Info = DibInfo.bmiHeader;
  Info.biSize = sizeof(BITMAPINFOHEADER);
  Info.biWidth = static_cast<LONG>(Width);
  Info.biHeight = static_cast<LONG>(Height);
  Info.biPlanes = 1;
  Info.biBitCount = static_cast<WORD>(Count);
  Info.biCompression = BI_RGB;
}

void TChunkIHDR::ChooseDibFormat() {
  const int Count = DibBitCountFor(ColorType, BitDepth);
  if (Count != 0)
    FillDibHeader(Count, Count != 24);
}

void TChunkIHDR::CreateImageMemory() {
  DibInfo = BITMAPINFO{};
  FreeImageMemory();
  ChooseDibFormat();
  RowStride = static_cast<int32_t>(PaddedRowBytes(Width, BitCount()));
  if (OwnerImage() != nullptr && OwnerImage()->ScratchPalette != nullptr) {
    DeleteObject(OwnerImage()->ScratchPalette);
    OwnerImage()->ScratchPalette = nullptr;
  }
  if (Width == 0 || Height == 0 || BitCount() == 0)
    return;
  DibDC = CreateCompatibleDC(nullptr);
  void* Bits = nullptr;
  if (DibDC != nullptr)
    DibHandle = CreateDIBSection(DibDC, &DibInfo, DIB_RGB_COLORS, &Bits, nullptr, 0);
  PixelBase = static_cast<uint8_t*>(Bits);
  // A large alpha plane costs nothing until it is written.
  if (HasAlpha() && PixelBase != nullptr)
    AlphaPlane = static_cast<uint8_t*>(AllocateZeroedBlock(size_t{Width} * Height));
  if (PixelBase == nullptr || (HasAlpha() && AlphaPlane == nullptr)) {
    FreeImageMemory();
    TPNGObject::RaisePngError<EPNGOutMemory>(PngMessage(MsgOutOfResources));
  }
}

void TChunkIHDR::FreeImageMemory() {
  if (DibHandle != nullptr)
    DeleteObject(DibHandle);
  if (DibDC != nullptr)
    DeleteDC(DibDC);
  std::free(AlphaPlane);
  DibHandle = nullptr;
  DibDC = nullptr;
  AlphaPlane = nullptr;
  PixelBase = nullptr;
}

bool TChunkIHDR::ImageMemoryUsable() const {
  if (!ValidColorAndDepth(ColorType, BitDepth) || Width > MaxImageSide || Height > MaxImageSide)
    return false;
  if (Width == 0 || Height == 0)
    return true;
  return PixelBase != nullptr && (!HasAlpha() || AlphaPlane != nullptr) &&
         BitCount() == DibBitCountFor(ColorType, BitDepth) &&
         DibInfo.bmiHeader.biWidth == static_cast<LONG>(Width) &&
         DibInfo.bmiHeader.biHeight == static_cast<LONG>(Height);
}

uint8_t* TChunkIHDR::ImageRow(uint32_t Row) const {
  return PixelBase + RowOffset(RowStride, Height, static_cast<int32_t>(Row));
}

uint8_t* TChunkIHDR::AlphaRow(uint32_t Row) const {
  return AlphaPlane + static_cast<size_t>(Width) * Row;
}
