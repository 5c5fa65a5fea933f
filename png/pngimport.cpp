// Building an image from a platform bitmap, the clipboard form, and access to single pixels.
#include "png/pnggdi.h"

#include <algorithm>

namespace {

bool KnownBitmapDepth(int BitsPerPixel) {
  return BitsPerPixel == 1 || BitsPerPixel == 4 || BitsPerPixel == 8 || BitsPerPixel == 16 ||
         BitsPerPixel == 24 || BitsPerPixel == 32;
}

struct TPixelPlace {
  uint8_t* Byte;
  int Shift;
  uint32_t Mask;
};

// Where an indexed pixel lives: its byte, the shift of its bits, their mask.
TPixelPlace IndexedPlace(uint8_t* Row, int BitCount, int32_t X) {
  const int PerByte = 8 / BitCount;
  return {Row + X / PerByte, 8 - BitCount - (X % PerByte) * BitCount, (1u << BitCount) - 1};
}

const TChunkPLTE* PaletteOf(const TPNGObject& Image) {
  return Image.ChunkList.ItemOf<TChunkPLTE>();
}

} // namespace

void FillHeaderFromBitmap(TChunkIHDR& Header, HBITMAP Handle, const BITMAP& Description) {
  Header.Width = static_cast<uint32_t>(Description.bmWidth);
  Header.Height = static_cast<uint32_t>(std::abs(Description.bmHeight));
  const bool Indexed = Description.bmBitsPixel < 16;
  Header.BitDepth = Indexed ? static_cast<uint8_t>(Description.bmBitsPixel) : 8;
  Header.ColorType = Indexed ? COLOR_PALETTE : COLOR_RGB;
  Header.CompressionMethod = 0;
  Header.InterlaceMethod = 0;
  Header.CreateImageMemory();
  const TOwnedDC DC(CreateCompatibleDC(nullptr));
  const int Rows = GetDIBits(DC.Get(), Handle, 0, Header.Height, Header.PixelBase, &Header.DibInfo,
                             DIB_RGB_COLORS);
  if (Rows != static_cast<int>(Header.Height))
    RaiseOutOfResources();
}

void TPNGObject::ImportBitmapHandle(HBITMAP Handle, bool Transparent, COLORREF KeyColor) {
  BITMAP Description{};
  if (GetObjectA(Handle, sizeof Description, &Description) == 0 ||
      !KnownBitmapDepth(Description.bmBitsPixel))
    throw EConvertError("Cannot assign a bitmap of this kind to a " + ClassName());
  if (Description.bmWidth > 65535 || std::abs(Description.bmHeight) > 65535)
    RaisePngError<EPNGSizeExceeds>(PngMessage(MsgSizeExceeds));
  const bool Indexed = Description.bmBitsPixel < 16;
  Clear();
  try {
    auto* Header = ChunkList.Add(std::make_unique<TChunkIHDR>(this));
    TChunkPLTE* Palette = Indexed ? ChunkList.Add(std::make_unique<TChunkPLTE>(this)) : nullptr;
    TChunktRNS* Transparency =
        Transparent ? ChunkList.Add(std::make_unique<TChunktRNS>(this)) : nullptr;
    ChunkList.Add(std::make_unique<TChunkIDAT>(this));
    ChunkList.Add(std::make_unique<TChunkIEND>(this));
    FillHeaderFromBitmap(*Header, Handle, Description);
    if (Palette != nullptr)
      Palette->EntryCount = 1 << Description.bmBitsPixel;
    if (Transparency == nullptr)
      return;
    // An indexed bitmap whose key is none of its colours has nothing transparent.
    const bool KeyInPalette =
        Palette == nullptr ||
        ExactColorIndex(Header->DibInfo.bmiColors, Palette->EntryCount, KeyColor) >= 0;
    if (KeyInPalette) {
      Transparency->SetKeyColor(KeyColor);
      return;
    }
    ChunkList.Remove(Transparency);
    delete Transparency;
  } catch (...) {
    Clear();
    throw;
  }
}

void TPNGObject::Assign(TPersistent& Source) {
  if (auto* Png = dynamic_cast<TPNGObject*>(&Source)) {
    CopyFromPNG(*Png);
    return;
  }
  if (auto* Bitmap = dynamic_cast<TBitmap*>(&Source)) {
    const COLORREF Key = ColorToRGB(static_cast<TColor>(Bitmap->GetTransparentColor()));
    const bool Transparent = Bitmap->GetTransparent();
    ImportBitmapHandle(Bitmap->GetHandle(), Transparent, Key);
    return;
  }
  TGraphic::Assign(Source);
}

uint8_t* TPNGObject::RowAddress(int32_t Y) const {
  const TChunkIHDR& H = Header();
  return H.PixelBase + RowOffset(H.RowStride, H.Height, Y);
}

COLORREF TPNGObject::GetIndexedPixel(int32_t X, int32_t Y) const {
  const TChunkIHDR& H = Header();
  const TPixelPlace Place = IndexedPlace(RowAddress(Y), H.BitCount(), X);
  const uint32_t Index = (*Place.Byte >> Place.Shift) & Place.Mask;
  if (H.ColorType == COLOR_PALETTE) {
    const TChunkPLTE* Palette = PaletteOf(*this);
    if (Palette == nullptr)
      RaisePngError<EPngError>(PngMessage(MsgNoSuchPaletteEntry));
    Palette->GetEntry(static_cast<uint8_t>(Index));
  } else if (H.ColorType != COLOR_GRAYSCALE && H.ColorType != COLOR_GRAYSCALEALPHA) {
    return 0;
  }
  // The colour table is gamma-corrected already: its entry is the colour shown.
  return ColorOfEntry(H.DibInfo.bmiColors[Index]);
}

// Only an index the pixel can hold is written: palette entries that exist, grey levels of the
// depth.
void TPNGObject::SetIndexedPixel(int32_t X, int32_t Y, COLORREF Color) {
  const TChunkIHDR& H = Header();
  int Candidates = 1 << H.BitCount();
  if (H.ColorType == COLOR_PALETTE) {
    const TChunkPLTE* Palette = PaletteOf(*this);
    Candidates = std::min(Candidates, Palette != nullptr ? Palette->EntryCount : 0);
  }
  if (Candidates <= 0)
    return;
  const uint32_t Index =
      NearestColorIndex(H.DibInfo.bmiColors, Candidates, ColorToRGB(static_cast<TColor>(Color)));
  const TPixelPlace Place = IndexedPlace(RowAddress(Y), H.BitCount(), X);
  *Place.Byte =
      static_cast<uint8_t>((*Place.Byte & ~(Place.Mask << Place.Shift)) | Index << Place.Shift);
}

COLORREF TPNGObject::GetRGBPixel(int32_t X, int32_t Y) const {
  const uint8_t* Pixel = RowAddress(Y) + 3 * int64_t{X};
  return RGB(Pixel[2], Pixel[1], Pixel[0]);
}

void TPNGObject::SetRGBPixel(int32_t X, int32_t Y, COLORREF Color) {
  uint8_t* Pixel = RowAddress(Y) + 3 * int64_t{X};
  Pixel[2] = GetRValue(Color);
  Pixel[1] = GetGValue(Color);
  Pixel[0] = GetBValue(Color);
}

COLORREF TPNGObject::GetPixelColor(int32_t X, int32_t Y) {
  if (X < 0 || X >= GetWidth() || Y < 0 || Y >= GetHeight() || !Header().ImageMemoryUsable())
    return 0;
  const uint8_t ColorType = Header().ColorType;
  return ColorType == COLOR_RGB || ColorType == COLOR_RGBALPHA ? GetRGBPixel(X, Y)
                                                               : GetIndexedPixel(X, Y);
}

void TPNGObject::SetPixelColor(int32_t X, int32_t Y, COLORREF Color) {
  if (X < 0 || X >= GetWidth() || Y < 0 || Y >= GetHeight() || !Header().ImageMemoryUsable())
    return;
  const uint8_t ColorType = Header().ColorType;
  if (ColorType == COLOR_RGB || ColorType == COLOR_RGBALPHA)
    SetRGBPixel(X, Y, Color);
  else
    SetIndexedPixel(X, Y, Color);
}

HPALETTE TPNGObject::GetPalette() {
  const TChunkIHDR& H = Header();
  if ((H.ColorType == COLOR_GRAYSCALE || H.ColorType == COLOR_PALETTE) &&
      ScratchPalette == nullptr) {
    LOGPALETTE Logical{};
    Logical.palVersion = 0x300;
    Logical.palNumEntries = 256;
    for (int i = 0; i < 256; ++i) {
      const RGBQUAD& Entry = H.DibInfo.bmiColors[i];
      Logical.palPalEntry[i] = {Entry.rgbRed, Entry.rgbGreen, Entry.rgbBlue, 0};
    }
    ScratchPalette = CreatePalette(&Logical);
  }
  return ScratchPalette;
}

// Pixels that do not exist as the header says are nothing to show: an empty bitmap.
void TPNGObject::SaveToClipboardFormat(uint16_t& Format, HANDLE& Data, HPALETTE& Palette) {
  TBitmap Bitmap;
  const bool Usable = HasHeader() && Header().ImageMemoryUsable();
  Bitmap.SetWidth(Usable ? GetWidth() : 0);
  Bitmap.SetHeight(Usable ? GetHeight() : 0);
  Draw(Bitmap.Canvas(), {0, 0, Bitmap.GetWidth(), Bitmap.GetHeight()});
  Bitmap.SaveToClipboardFormat(Format, Data, Palette);
}

void TPNGObject::LoadFromClipboardFormat(uint16_t Format, HANDLE Data, HPALETTE Palette) {
  TBitmap Bitmap;
  Bitmap.LoadFromClipboardFormat(Format, Data, Palette);
  ImportBitmapHandle(Bitmap.GetHandle(), false, 0);
}
