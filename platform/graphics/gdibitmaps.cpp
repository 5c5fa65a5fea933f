// Creating bitmaps, describing them, and reading their bits in another format.
#include "platform/graphics/gdiobjects.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

bool KnownDepth(int BitCount) {
  return BitCount == 1 || BitCount == 4 || BitCount == 8 || BitCount == 16 || BitCount == 24 ||
         BitCount == 32;
}

// The colour table a DIB header carries: 2^BitCount entries, of which biClrUsed (when set and
// smaller) are given and the rest black.
std::vector<RGBQUAD> TableOf(const BITMAPINFO& Info) {
  const int Size = 1 << Info.bmiHeader.biBitCount;
  const DWORD Used = Info.bmiHeader.biClrUsed;
  const int Given = Used != 0 && Used < static_cast<DWORD>(Size) ? static_cast<int>(Used) : Size;
  std::vector<RGBQUAD> Table(static_cast<size_t>(Size), RGBQUAD{});
  std::copy_n(Info.bmiColors, Given, Table.begin());
  return Table;
}

HBITMAP Adopted(std::unique_ptr<TBitmapObject> Bitmap) {
  if (!Bitmap->Allocate())
    return nullptr;
  return AdoptBitmap(std::move(Bitmap));
}

// Copies every pixel of Source into Target, converting colours.
void ConvertPixels(const TSurface& Source, const TSurface& Target) {
  for (int32_t Y = 0; Y < Target.Height; ++Y)
    for (int32_t X = 0; X < Target.Width; ++X)
      Target.SetRawPixel(X, Y, Target.RawOf(Source.ColorOf(Source.RawPixel(X, Y))));
}

// Tables for reading a bitmap without one at an indexed depth: black and white, the sixteen
// standard colours, and 3-3-2 levels of red, green and blue.
std::vector<RGBQUAD> FixedTable(int BitCount) {
  static const RGBQUAD Sixteen[16] = {
      {0, 0, 0, 0},       {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
      {128, 0, 0, 0},     {128, 0, 128, 0}, {128, 128, 0, 0}, {192, 192, 192, 0},
      {128, 128, 128, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {0, 255, 255, 0},
      {255, 0, 0, 0},     {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0}};
  if (BitCount == 1)
    return {{0, 0, 0, 0}, {255, 255, 255, 0}};
  if (BitCount == 4)
    return std::vector<RGBQUAD>(Sixteen, Sixteen + 16);
  std::vector<RGBQUAD> Table(256);
  for (int i = 0; i < 256; ++i)
    Table[static_cast<size_t>(i)] = {static_cast<BYTE>((i & 3) * 255 / 3),
                                     static_cast<BYTE>(((i >> 2) & 7) * 255 / 7),
                                     static_cast<BYTE>(((i >> 5) & 7) * 255 / 7), 0};
  return Table;
}

// The highest index an indexed bitmap's pixels use.
uint32_t HighestIndexUsed(const TSurface& Surface) {
  uint32_t Highest = 0;
  for (int32_t Y = 0; Y < Surface.Height; ++Y)
    for (int32_t X = 0; X < Surface.Width; ++X)
      Highest = std::max(Highest, Surface.RawPixel(X, Y));
  return Highest;
}

// An indexed bitmap whose pixels all fit the target depth keeps its indices and table.
bool KeepsIndices(const TBitmapObject& Bitmap, int BitCount) {
  return BitCount <= 8 && Bitmap.DIBSection && !Bitmap.Monochrome && Bitmap.BitCount <= 8 &&
         (Bitmap.BitCount <= BitCount || HighestIndexUsed(Bitmap.Surface()) < (1u << BitCount));
}

// The table GetDIBits hands out at an indexed depth: the bitmap's own when it fits, so that its
// colours come back exactly, else a fixed one.
std::vector<RGBQUAD> ReadingTable(const TBitmapObject& Bitmap, int BitCount, bool SameIndices) {
  const size_t Capacity = size_t{1} << BitCount;
  std::vector<RGBQUAD> Table;
  if (Bitmap.Monochrome)
    Table = FixedTable(1);
  else if (SameIndices || (!Bitmap.Colors.empty() && Bitmap.Colors.size() <= Capacity))
    Table = Bitmap.Colors;
  else
    Table = FixedTable(BitCount);
  Table.resize(Capacity, RGBQUAD{});
  return Table;
}

void DescribeBitmap(const TBitmapObject& Bitmap, BITMAPINFOHEADER& Header) {
  Header = BITMAPINFOHEADER{};
  Header.biSize = sizeof(BITMAPINFOHEADER);
  Header.biWidth = Bitmap.Width;
  Header.biHeight = Bitmap.Height;
  Header.biPlanes = 1;
  Header.biBitCount = Bitmap.BitCount;
  Header.biCompression = BI_RGB;
  Header.biSizeImage = static_cast<DWORD>(Bitmap.Stride * Bitmap.Height);
}

// A bitmap's pixels, indexed ones by their index when source and target share the table.
void CopyRows(const TSurface& Source, const TSurface& Target, int32_t FirstRow, int32_t Rows,
              bool SameTable) {
  const int32_t Width = std::min(Source.Width, Target.Width);
  for (int32_t Line = 0; Line < Rows; ++Line) {
    const int32_t Y = FirstRow + Line;
    for (int32_t X = 0; X < Width; ++X) {
      const uint32_t Raw = Source.RawPixel(X, Y);
      Target.SetRawPixel(X, Line, SameTable ? Raw : Target.RawOf(Source.ColorOf(Raw)));
    }
  }
}

} // namespace

std::unique_ptr<TBitmapObject> NewCompatibleBitmap(const TDeviceContext& Context, int Width,
                                                   int Height) {
  auto Bitmap = std::make_unique<TBitmapObject>();
  Bitmap->Width = Width;
  Bitmap->Height = Height;
  const bool Mono = !Context.Screen && Context.Selected->Monochrome;
  Bitmap->BitCount = Mono ? 1 : 32;
  Bitmap->Monochrome = Mono;
  if (!Bitmap->Allocate())
    return nullptr;
  return Bitmap;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* Info, UINT, void** Bits, HANDLE, DWORD) {
  if (Bits != nullptr)
    *Bits = nullptr;
  if (Info == nullptr || InjectedGdiFailure(gcCreate))
    return nullptr;
  const BITMAPINFOHEADER& Header = Info->bmiHeader;
  if (!KnownDepth(Header.biBitCount) || Header.biCompression != BI_RGB ||
      Header.biHeight == INT32_MIN)
    return nullptr;
  auto Bitmap = std::make_unique<TBitmapObject>();
  Bitmap->Width = Header.biWidth;
  Bitmap->Height = Header.biHeight < 0 ? -Header.biHeight : Header.biHeight;
  Bitmap->TopDown = Header.biHeight < 0;
  Bitmap->BitCount = Header.biBitCount;
  Bitmap->DIBSection = true;
  if (Header.biBitCount <= 8) {
    Bitmap->Colors = TableOf(*Info);
    Bitmap->ColorsBitCount = Header.biBitCount;
  }
  TBitmapObject* Raw = Bitmap.get();
  HBITMAP Handle = Adopted(std::move(Bitmap));
  if (Handle != nullptr && Bits != nullptr)
    *Bits = Raw->Bits;
  return Handle;
}

HBITMAP CreateDIBitmap(HDC DC, const BITMAPINFOHEADER* Header, DWORD Init, const void* Bits,
                       const BITMAPINFO* Info, UINT) {
  const TDeviceContext* Context = ContextOf(DC);
  if (Context == nullptr || Header == nullptr || InjectedGdiFailure(gcCreate))
    return nullptr;
  const int32_t Height = Header->biHeight < 0 ? -Header->biHeight : Header->biHeight;
  std::unique_ptr<TBitmapObject> Bitmap = NewCompatibleBitmap(*Context, Header->biWidth, Height);
  if (!Bitmap || Header->biHeight == INT32_MIN)
    return nullptr;
  if ((Init & CBM_INIT) != 0 && Info != nullptr) {
    TSurface Source;
    if (!DIBSurface(*Info, Bits, Source) || Source.Width != Bitmap->Width ||
        Source.Height != Bitmap->Height)
      return nullptr;
    ConvertPixels(Source, Bitmap->Surface());
    if (Source.BitCount <= 8 && !Bitmap->Monochrome) {
      Bitmap->Colors = TableOf(*Info);
      Bitmap->ColorsBitCount = Source.BitCount;
    }
  }
  return AdoptBitmap(std::move(Bitmap));
}

HBITMAP CreateBitmap(int Width, int Height, UINT Planes, UINT BitsPerPixel, const void* Bits) {
  if (Planes != 1 || (BitsPerPixel != 1 && BitsPerPixel != 32) || InjectedGdiFailure(gcCreate))
    return nullptr;
  auto Bitmap = std::make_unique<TBitmapObject>();
  Bitmap->Width = Width;
  Bitmap->Height = Height;
  Bitmap->BitCount = static_cast<uint16_t>(BitsPerPixel);
  Bitmap->Monochrome = BitsPerPixel == 1;
  if (!Bitmap->Allocate())
    return nullptr;
  if (Bits != nullptr) {
    // Device bitmap bits come in rows padded to 2 bytes.
    const int64_t SourceStride = (int64_t{Width} * BitsPerPixel + 15) / 16 * 2;
    for (int32_t Y = 0; Y < Height; ++Y)
      std::memcpy(Bitmap->Bits + Bitmap->Stride * Y,
                  static_cast<const uint8_t*>(Bits) + SourceStride * Y,
                  static_cast<size_t>(SourceStride));
  }
  return AdoptBitmap(std::move(Bitmap));
}

HBITMAP CreateCompatibleBitmap(HDC DC, int Width, int Height) {
  const TDeviceContext* Context = ContextOf(DC);
  if (Context == nullptr || InjectedGdiFailure(gcCreate))
    return nullptr;
  std::unique_ptr<TBitmapObject> Bitmap = NewCompatibleBitmap(*Context, Width, Height);
  return Bitmap != nullptr ? AdoptBitmap(std::move(Bitmap)) : nullptr;
}

int GetObjectA(HGDIOBJ Object, int Size, void* Record) {
  if (const TBitmapObject* Bitmap = BitmapOf(Object)) {
    if (Record == nullptr || Size < static_cast<int>(sizeof(BITMAP)))
      return 0;
    BITMAP Description{};
    Description.bmWidth = Bitmap->Width;
    Description.bmHeight = Bitmap->TopDown && Bitmap->DIBSection ? -Bitmap->Height : Bitmap->Height;
    Description.bmWidthBytes = static_cast<LONG>(Bitmap->Stride);
    Description.bmPlanes = 1;
    Description.bmBitsPixel = Bitmap->BitCount;
    Description.bmBits = Bitmap->DIBSection ? Bitmap->Bits : nullptr;
    std::memcpy(Record, &Description, sizeof Description);
    return sizeof Description;
  }
  if (const TPaletteObject* Palette = PaletteOf(Object)) {
    if (Record == nullptr || Size < static_cast<int>(sizeof(WORD)))
      return 0;
    const auto Count = static_cast<WORD>(Palette->Entries.size());
    std::memcpy(Record, &Count, sizeof Count);
    return sizeof Count;
  }
  return 0;
}

int GetDIBits(HDC DC, HBITMAP Handle, UINT StartScan, UINT Lines, void* Bits, BITMAPINFO* Info,
              UINT) {
  const TBitmapObject* Bitmap = BitmapOf(Handle);
  if (ContextOf(DC) == nullptr || Bitmap == nullptr || Info == nullptr ||
      InjectedGdiFailure(gcGetDIBits))
    return 0;
  if (Bits == nullptr) {
    DescribeBitmap(*Bitmap, Info->bmiHeader);
    return Bitmap->Height;
  }
  BITMAPINFOHEADER& Header = Info->bmiHeader;
  if (!KnownDepth(Header.biBitCount) || Header.biCompression != BI_RGB || Header.biWidth <= 0 ||
      StartScan >= static_cast<UINT>(Bitmap->Height))
    return 0;
  const auto Rows = static_cast<int32_t>(std::min<UINT>(Lines, Bitmap->Height - StartScan));
  const bool SameTable = KeepsIndices(*Bitmap, Header.biBitCount);
  if (Header.biBitCount <= 8) {
    const std::vector<RGBQUAD> Table = ReadingTable(*Bitmap, Header.biBitCount, SameTable);
    std::copy(Table.begin(), Table.end(), Info->bmiColors);
  }
  BITMAPINFO Window = *Info;
  Window.bmiHeader.biHeight = Header.biHeight < 0 ? -Rows : Rows;
  TSurface Target;
  DIBSurface(Window, Bits, Target);
  // Scan lines count from the bottom for a bottom-up target, from the top for a top-down one.
  const int32_t FirstRow = Header.biHeight < 0
                               ? static_cast<int32_t>(StartScan)
                               : Bitmap->Height - static_cast<int32_t>(StartScan) - Rows;
  CopyRows(Bitmap->Surface(), Target, FirstRow, Rows, SameTable);
  return Rows;
}

HBITMAP DuplicateBitmap(HBITMAP Handle) {
  const TBitmapObject* Original = BitmapOf(Handle);
  if (Original == nullptr || InjectedGdiFailure(gcCreate))
    return nullptr;
  auto Copy = std::make_unique<TBitmapObject>();
  Copy->Width = Original->Width;
  Copy->Height = Original->Height;
  Copy->BitCount = Original->BitCount;
  Copy->Monochrome = Original->Monochrome;
  Copy->TopDown = Original->TopDown;
  Copy->DIBSection = Original->DIBSection;
  Copy->Colors = Original->Colors;
  Copy->ColorsBitCount = Original->ColorsBitCount;
  if (!Copy->Allocate())
    return nullptr;
  std::memcpy(Copy->Bits, Original->Bits, static_cast<size_t>(Copy->Stride * Copy->Height));
  return AdoptBitmap(std::move(Copy));
}
