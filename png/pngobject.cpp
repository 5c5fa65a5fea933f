// The PNG image object: life cycle, settings, header access, copying and registration.
#include "png/pngimage.h"

#include <numeric>

const TGraphicClass TPNGObject::ClassInfo{
    "TPNGObject", []() -> std::unique_ptr<TGraphic> { return std::make_unique<TPNGObject>(); }};

TPNGObject::TPNGObject() = default;

TPNGObject::~TPNGObject() {
  Clear();
  if (ScratchPalette != nullptr)
    DeleteObject(ScratchPalette);
}

void TPNGObject::ResetGammaTables() {
  std::iota(GammaLut.begin(), GammaLut.end(), uint8_t{0});
  std::iota(InverseGammaLut.begin(), InverseGammaLut.end(), uint8_t{0});
}

// The image owns its chunks through its list.
void TPNGObject::Clear() {
  ResetGammaTables();
  for (int32_t Index = 0; Index < ChunkList.Count(); ++Index)
    delete ChunkList.Item(Index);
  ChunkList.SetCount(0);
  InflatedTextBytes = 0;
}

bool TPNGObject::HasHeader() const {
  const TChunk* First = ChunkList.Item(0);
  return First != nullptr && First->ClassType().InheritsFrom(TChunkIHDR::ClassInfo);
}

TChunkIHDR& TPNGObject::Header() const {
  if (!HasHeader())
    RaisePngError<EPNGHeaderNotPresent>(PngMessage(MsgNoHeader));
  return *static_cast<TChunkIHDR*>(ChunkList.Item(0));
}

int32_t TPNGObject::GetWidth() {
  return HasHeader() ? static_cast<int32_t>(Header().Width) : 0;
}

int32_t TPNGObject::GetHeight() {
  return HasHeader() ? static_cast<int32_t>(Header().Height) : 0;
}

void TPNGObject::SetWidth(int32_t) {
  RaisePngError<EPngError>(PngMessage(MsgCannotResize));
}

void TPNGObject::SetHeight(int32_t) {
  RaisePngError<EPngError>(PngMessage(MsgCannotResize));
}

void TPNGObject::GetRowGeometry(int32_t& RowBytes, int32_t& Stride) const {
  RowBytes = 0;
  Stride = 0;
  if (!HasHeader())
    return;
  const TChunkIHDR& H = Header();
  RowBytes = RowSizeForPixels(static_cast<int32_t>(H.Width), H.ColorType, H.BitDepth);
  switch (H.ColorType) {
  case COLOR_GRAYSCALE:
    Stride = H.BitDepth == 16 ? 2 : 1;
    break;
  case COLOR_PALETTE:
    Stride = 1;
    break;
  case COLOR_RGB:
    Stride = H.BitDepth * 3 / 8;
    break;
  case COLOR_GRAYSCALEALPHA:
    Stride = H.BitDepth * 2 / 8;
    break;
  case COLOR_RGBALPHA:
    Stride = H.BitDepth * 4 / 8;
    break;
  default:
    break;
  }
}

void TPNGObject::SetInterlaceKind(uint8_t Kind) {
  if (Kind <= 1)
    FInterlaceKind = Kind;
}

void TPNGObject::SetMaxDataChunkSize(uint32_t Value) {
  FMaxDataChunkSize = std::clamp(Value, MinDataChunkSize, MaxDataChunkSizeLimit);
}

unsigned TPNGObject::GetEncodeThreads() const {
  return FEncodeThreads == 0 ? DefaultEncodeThreads() : FEncodeThreads;
}

void TPNGObject::SetEncodeThreads(unsigned Count) {
  FEncodeThreads = std::min(Count, MaxEncodeThreads);
}

// The copy takes over the source's gamma tables as well: its pixels and colour table are already
// corrected, and with the source's tables it writes back what the source would.
void TPNGObject::CopyFromPNG(TPNGObject& Source) {
  if (&Source == this)
    return;
  SetInterlaceKind(Source.GetInterlaceKind());
  SetMaxDataChunkSize(Source.GetMaxDataChunkSize());
  ZlibLevel = Source.ZlibLevel;
  FEncodeThreads = Source.FEncodeThreads;
  SetRowFilters(Source.GetRowFilters());
  Clear();
  GammaLut = Source.GammaLut;
  InverseGammaLut = Source.InverseGammaLut;
  ChunkList.SetCount(Source.ChunkList.Count());
  int32_t Made = 0;
  try {
    for (int32_t Index = 0; Index < Source.ChunkList.Count(); ++Index) {
      const TChunk* Original = Source.ChunkList.Item(Index);
      if (Original == nullptr)
        continue;
      ChunkList.SetItem(Made++, Original->ClassType().Create(this).release());
      ChunkList.Item(Made - 1)->AssignChunk(*Original);
    }
  } catch (...) {
    ChunkList.SetCount(Made);
    throw;
  }
  ChunkList.SetCount(Made);
}

// Pixels that do not exist as the header says cannot be converted: that is the platform's
// conversion error, as for an image without a header.
void TPNGObject::AssignTo(TPersistent& Dest) {
  if (auto* Png = dynamic_cast<TPNGObject*>(&Dest)) {
    Png->CopyFromPNG(*this);
    return;
  }
  auto* Bitmap = dynamic_cast<TBitmap*>(&Dest);
  if (Bitmap != nullptr && HasHeader() && Header().ImageMemoryUsable()) {
    AssignToBitmap(*Bitmap, buDrawing);
    return;
  }
  TGraphic::AssignTo(Dest);
}

void TPNGObject::AssignStoredColorsTo(TBitmap& Dest) {
  if (!HasHeader() || !Header().ImageMemoryUsable()) {
    TGraphic::AssignTo(Dest);
    return;
  }
  AssignToBitmap(Dest, buFile);
}

void RegisterPngGraphic() {
  TPicture::RegisterFileFormat("PNG", "Portable Network Graphics", TPNGObject::ClassInfo);
}

void UnregisterPngGraphic() {
  TPicture::UnregisterGraphicClass(TPNGObject::ClassInfo);
}
