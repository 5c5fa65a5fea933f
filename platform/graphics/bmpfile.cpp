// Reading trusts no field: each size is checked against what the stream holds, in 64 bits, before
// anything is allocated for it. A file that ends early or contradicts itself raises
// EInvalidGraphic; errors of the stream itself (EReadError, EStreamError) pass through unchanged,
// since they say something about the stream, not the picture. After a successful read the stream
// stands just after the pixel data: after the last stored row, or after the run-length data's
// end-of-bitmap code.
#include "platform/graphics/bmpfile.h"

#include "platform/graphics/graphics.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <string>

namespace {

constexpr uint32_t FileHeaderSize = 14;
constexpr uint32_t CoreHeaderSize = 12;
constexpr uint32_t InfoHeaderSize = 40;
constexpr uint32_t V4HeaderSize = 108;
constexpr uint32_t V5HeaderSize = 124;
constexpr uint32_t MaskBytes = 12;
constexpr int32_t PixelsPerMetreAt72Dpi = 2835;
constexpr int64_t RleBufferSize = 1 << 16;

[[noreturn]] void Invalid(const std::string& Reason) {
  throw EInvalidGraphic("Bitmap image is not valid: " + Reason);
}

[[noreturn]] void Unwritable(const std::string& Reason) {
  throw EInvalidGraphic("Bitmap image cannot be saved: " + Reason);
}

std::string Hex(uint32_t Value) {
  static const char Digits[] = "0123456789ABCDEF";
  std::string Text = "0x";
  for (int Shift = 28; Shift >= 0; Shift -= 4)
    Text += Digits[(Value >> Shift) & 0xF];
  return Text;
}

uint16_t LittleU16(const uint8_t* Bytes) {
  return static_cast<uint16_t>(Bytes[0] | Bytes[1] << 8);
}

uint32_t LittleU32(const uint8_t* Bytes) {
  return uint32_t{Bytes[0]} | uint32_t{Bytes[1]} << 8 | uint32_t{Bytes[2]} << 16 |
         uint32_t{Bytes[3]} << 24;
}

void ReadOrFail(TStream& Stream, void* Buffer, int64_t Count, const char* Part) {
  if (Stream.ReadFully(Buffer, Count) != Count)
    Invalid(std::string("the file ends inside its ") + Part);
}

// The fields of whichever header the file has, widened so that no arithmetic on them overflows.
struct TBitmapHeader {
  uint32_t PixelOffset = 0;
  uint32_t HeaderSize = 0;
  int64_t Width = 0;
  int64_t Height = 0; // positive; TopDown tells the row order
  bool TopDown = false;
  uint16_t BitCount = 0;
  uint32_t Compression = BI_RGB;
  uint32_t ImageSize = 0;
  uint32_t ColorsUsed = 0;
  std::array<uint32_t, 3> Masks{}; // red, green, blue
};

bool IsRle(const TBitmapHeader& Header) {
  return Header.Compression == BI_RLE8 || Header.Compression == BI_RLE4;
}

bool IsIndexed(const TBitmapHeader& Header) {
  return Header.BitCount <= 8;
}

uint32_t ReadFileHeader(TStream& Stream) {
  uint8_t Bytes[FileHeaderSize];
  ReadOrFail(Stream, Bytes, FileHeaderSize, "file header");
  if (Bytes[0] != 'B' || Bytes[1] != 'M')
    Invalid("it does not start with \"BM\"");
  return LittleU32(Bytes + 10);
}

// OS/2 1.x: unsigned 16-bit sizes, always bottom-up, never compressed.
void ParseCoreHeader(const uint8_t* Bytes, TBitmapHeader& Header) {
  Header.Width = LittleU16(Bytes + 4);
  Header.Height = LittleU16(Bytes + 6);
  Header.BitCount = LittleU16(Bytes + 10);
}

void ParseInfoHeader(const uint8_t* Bytes, TBitmapHeader& Header) {
  Header.Width = static_cast<int32_t>(LittleU32(Bytes + 4));
  const auto Height = static_cast<int32_t>(LittleU32(Bytes + 8));
  if (Height == std::numeric_limits<int32_t>::min())
    Invalid("its height is out of range");
  Header.TopDown = Height < 0;
  Header.Height = Height < 0 ? -int64_t{Height} : Height;
  Header.BitCount = LittleU16(Bytes + 14);
  Header.Compression = LittleU32(Bytes + 16);
  Header.ImageSize = LittleU32(Bytes + 20);
  Header.ColorsUsed = LittleU32(Bytes + 32);
  if (Header.HeaderSize >= V4HeaderSize)
    for (size_t Channel = 0; Channel < Header.Masks.size(); ++Channel)
      Header.Masks[Channel] = LittleU32(Bytes + 40 + 4 * Channel);
}

void ReadInfoHeader(TStream& Stream, TBitmapHeader& Header) {
  uint8_t Bytes[V5HeaderSize];
  ReadOrFail(Stream, Bytes, 4, "info header");
  Header.HeaderSize = LittleU32(Bytes);
  const uint32_t Size = Header.HeaderSize;
  if (Size != CoreHeaderSize && Size != InfoHeaderSize && Size != V4HeaderSize &&
      Size != V5HeaderSize)
    Invalid("its info header has an unknown size of " + std::to_string(Size) + " bytes");
  ReadOrFail(Stream, Bytes + 4, Size - 4, "info header");
  if (Size == CoreHeaderSize)
    ParseCoreHeader(Bytes, Header);
  else
    ParseInfoHeader(Bytes, Header);
}

bool CompressionFits(uint32_t Compression, uint16_t BitCount) {
  switch (Compression) {
  case BI_RGB:
    return true;
  case BI_RLE8:
    return BitCount == 8;
  case BI_RLE4:
    return BitCount == 4;
  default:
    return BitCount == 16 || BitCount == 32;
  }
}

void CheckFormat(const TBitmapHeader& Header) {
  const uint16_t Bits = Header.BitCount;
  if (Bits != 1 && Bits != 4 && Bits != 8 && Bits != 16 && Bits != 24 && Bits != 32)
    Invalid(std::to_string(Bits) + " bits per pixel are not supported");
  if (Header.Compression > BI_BITFIELDS)
    Invalid("compression " + std::to_string(Header.Compression) + " is not supported");
  if (!CompressionFits(Header.Compression, Bits))
    Invalid("compression " + std::to_string(Header.Compression) + " does not go with " +
            std::to_string(Bits) + " bits per pixel");
}

void CheckShape(const TBitmapHeader& Header) {
  if (Header.Width <= 0)
    Invalid("its width of " + std::to_string(Header.Width) + " pixels is not positive");
  if (Header.Height == 0)
    Invalid("its height is 0");
  if (!IsRle(Header))
    return;
  if (Header.TopDown)
    Invalid("its run-length compressed rows are stored top-down");
  if (Header.Width * Header.Height > MaxRleBitmapPixels)
    Invalid("its " + std::to_string(Header.Width) + " x " + std::to_string(Header.Height) +
            " pixels are too many for a run-length compressed image");
}

// One colour channel of a 16- or 32-bit pixel: the bits its mask selects, scaled to 8 bits.
struct TChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  uint64_t Max = 0; // the largest value the mask can hold
};

// A zero mask leaves its channel 0; masks may overlap (a grey file can give all three the same
// bits), but each must be one run of bits within the pixel.
TChannel ChannelOf(uint32_t Mask, uint16_t BitCount, const char* Name) {
  TChannel Channel{Mask, 0, 0};
  if (Mask == 0)
    return Channel;
  if (BitCount < 32 && Mask >> BitCount != 0)
    Invalid(std::string("its ") + Name + " mask " + Hex(Mask) + " does not fit in " +
            std::to_string(BitCount) + " bits");
  Channel.Shift = std::countr_zero(Mask);
  Channel.Max = Mask >> Channel.Shift;
  if ((Channel.Max & (Channel.Max + 1)) != 0)
    Invalid(std::string("its ") + Name + " mask " + Hex(Mask) + " is not one run of bits");
  return Channel;
}

// The nearest 8-bit value, round(v * 255 / Max). Max is odd, so v * 255 / Max never falls
// exactly half-way and adding (Max - 1) / 2 before dividing rounds correctly.
uint8_t ScaledChannel(const TChannel& Channel, uint32_t Pixel) {
  if (Channel.Max == 0)
    return 0;
  const uint64_t Value = (Pixel & Channel.Mask) >> Channel.Shift;
  return static_cast<uint8_t>((Value * 255 + Channel.Max / 2) / Channel.Max);
}

void ReadMasks(TStream& Stream, TBitmapHeader& Header) {
  if (Header.Compression == BI_BITFIELDS && Header.HeaderSize == InfoHeaderSize) {
    uint8_t Bytes[MaskBytes];
    ReadOrFail(Stream, Bytes, MaskBytes, "colour masks");
    for (size_t Channel = 0; Channel < Header.Masks.size(); ++Channel)
      Header.Masks[Channel] = LittleU32(Bytes + 4 * Channel);
  } else if (Header.Compression == BI_RGB && Header.BitCount == 16) {
    Header.Masks = {0x7C00, 0x03E0, 0x001F};
  } else if (Header.Compression == BI_RGB && Header.BitCount == 32) {
    Header.Masks = {0xFF0000, 0x00FF00, 0x0000FF};
  }
}

// Entries beyond the ones the file lists stay black. A file listing more than its pixels can
// index is clamped to the ones they can: the extra entries could never be shown.
void ReadColorTable(TStream& Stream, const TBitmapHeader& Header, TBitmapFileImage& Image) {
  const uint32_t Capacity = 1u << Header.BitCount;
  const uint32_t Count = Header.ColorsUsed == 0 ? Capacity : std::min(Header.ColorsUsed, Capacity);
  const int64_t EntrySize = Header.HeaderSize == CoreHeaderSize ? 3 : 4;
  std::vector<uint8_t> Bytes(Count * EntrySize);
  ReadOrFail(Stream, Bytes.data(), static_cast<int64_t>(Bytes.size()), "colour table");
  Image.Colors.assign(Capacity, RGBQUAD{0, 0, 0, 0});
  for (uint32_t Index = 0; Index < Count; ++Index) {
    const uint8_t* Entry = Bytes.data() + Index * EntrySize;
    Image.Colors[Index] = RGBQUAD{Entry[0], Entry[1], Entry[2], 0};
  }
}

void CheckPixelOffset(const TBitmapHeader& Header, int64_t HeadersEnd, int64_t FileBytes) {
  if (Header.PixelOffset < HeadersEnd)
    Invalid("its pixel offset " + std::to_string(Header.PixelOffset) +
            " points inside its headers, which end at " + std::to_string(HeadersEnd));
  if (Header.PixelOffset > FileBytes)
    Invalid("its pixel offset " + std::to_string(Header.PixelOffset) +
            " lies beyond the end of the file");
}

// The image the pixels go into, every row zero: unpadded pixels are what RLE data never reaches.
void AllocateRows(const TBitmapHeader& Header, TBitmapFileImage& Image) {
  Image.Width = static_cast<int32_t>(Header.Width);
  Image.Height = static_cast<int32_t>(Header.Height);
  Image.BitCount = IsIndexed(Header) ? Header.BitCount : 24;
  const int64_t RowBytes = PaddedRowBytes(Header.Width, Image.BitCount);
  if (RowBytes > std::numeric_limits<int32_t>::max())
    Invalid("its rows are too long to load");
  Image.Rows.assign(static_cast<size_t>(RowBytes) * static_cast<size_t>(Header.Height), 0);
}

uint8_t* TargetRow(TBitmapFileImage& Image, int64_t BottomUpRow) {
  const auto Row = static_cast<size_t>(Image.Height - 1 - BottomUpRow);
  return Image.Rows.data() + Row * static_cast<size_t>(Image.RowBytes());
}

// Bits past the last pixel carry whatever the writer left there; they are cleared so that equal
// pictures give equal rows.
void ClearPadding(uint8_t* Row, int64_t Width, int BitCount, int64_t RowBytes) {
  const int64_t UsedBits = Width * BitCount;
  int64_t Used = UsedBits / 8;
  if (UsedBits % 8 != 0)
    Row[Used++] &= static_cast<uint8_t>(0xFF00 >> (UsedBits % 8));
  std::fill(Row + Used, Row + RowBytes, uint8_t{0});
}

void ConvertMaskedRow(const uint8_t* Source, uint8_t* Target, const TBitmapHeader& Header,
                      const std::array<TChannel, 3>& Channels) {
  const int BytesPerPixel = Header.BitCount / 8;
  for (int64_t X = 0; X < Header.Width; ++X) {
    const uint8_t* Stored = Source + X * BytesPerPixel;
    const uint32_t Pixel = BytesPerPixel == 2 ? LittleU16(Stored) : LittleU32(Stored);
    for (size_t Channel = 0; Channel < Channels.size(); ++Channel)
      Target[3 * X + 2 - static_cast<int64_t>(Channel)] = ScaledChannel(Channels[Channel], Pixel);
  }
}

std::array<TChannel, 3> ChannelsOf(const TBitmapHeader& Header) {
  return {ChannelOf(Header.Masks[0], Header.BitCount, "red"),
          ChannelOf(Header.Masks[1], Header.BitCount, "green"),
          ChannelOf(Header.Masks[2], Header.BitCount, "blue")};
}

void ReadStoredPixels(TStream& Stream, const TBitmapHeader& Header, int64_t BytesLeft,
                      TBitmapFileImage& Image) {
  const int64_t RowBytes = PaddedRowBytes(Header.Width, Header.BitCount);
  if (RowBytes > BytesLeft / Header.Height)
    Invalid("the file ends inside its pixels");
  const bool Masked = Header.BitCount == 16 || Header.BitCount == 32;
  const std::array<TChannel, 3> Channels = Masked ? ChannelsOf(Header) : std::array<TChannel, 3>{};
  AllocateRows(Header, Image);
  std::vector<uint8_t> Source(Masked ? static_cast<size_t>(RowBytes) : 0);
  for (int64_t Stored = 0; Stored < Header.Height; ++Stored) {
    uint8_t* Target = TargetRow(Image, Header.TopDown ? Header.Height - 1 - Stored : Stored);
    if (Masked) {
      ReadOrFail(Stream, Source.data(), RowBytes, "pixels");
      ConvertMaskedRow(Source.data(), Target, Header, Channels);
    } else {
      ReadOrFail(Stream, Target, RowBytes, "pixels");
      ClearPadding(Target, Header.Width, Header.BitCount, RowBytes);
    }
  }
}

// Run-length data read through a buffer, no further than Limit bytes, so that the stream can be
// left just after the codes actually used.
class TRleSource {
public:
  TRleSource(TStream& Stream, int64_t Limit)
      : FStream(Stream), FStart(Stream.GetPosition()), FLeft(Limit),
        FBuffer(static_cast<size_t>(std::min(Limit, RleBufferSize))) {}

  bool AtEnd() { return FNext == FFilled && !Refill(); }

  uint8_t Next() {
    if (AtEnd())
      Invalid("the file ends inside its run-length data");
    ++FConsumed;
    return FBuffer[FNext++];
  }

  void Skip() { Next(); }

  void LeaveStreamAfterUse() { FStream.SetPosition(FStart + FConsumed); }

private:
  bool Refill() {
    const int64_t Wanted = std::min(FLeft, static_cast<int64_t>(FBuffer.size()));
    const int64_t Got = FStream.ReadFully(FBuffer.data(), Wanted);
    FLeft = Got < Wanted ? 0 : FLeft - Got;
    FNext = 0;
    FFilled = static_cast<size_t>(Got);
    return Got > 0;
  }

  TStream& FStream;
  int64_t FStart;
  int64_t FLeft;
  std::vector<uint8_t> FBuffer;
  size_t FNext = 0;
  size_t FFilled = 0;
  int64_t FConsumed = 0;
};

// Where decoded pixels go. Rows count from the bottom, as the codes do. Pixels that runs or
// deltas carry past the right edge or the top are dropped, never written.
class TRleCanvas {
public:
  explicit TRleCanvas(TBitmapFileImage& Image) : FImage(Image) {}

  int PixelsPerByte() const { return 8 / FImage.BitCount; }

  // Count pixels of Value; 4-bit values hold two indexes, which alternate.
  void PutRun(int Count, uint8_t Value) {
    for (int Pixel = 0; Pixel < Count; ++Pixel)
      Put(FImage.BitCount == 8 ? Value : Pixel % 2 == 0 ? Value >> 4 : Value & 0xF);
  }

  void EndLine() {
    FX = 0;
    ++FY;
  }

  void Move(uint8_t Right, uint8_t Up) {
    FX += Right;
    FY += Up;
  }

  // Every row decoded to its end: an end-of-bitmap code would add nothing.
  bool Complete() const {
    return FY >= FImage.Height || (FY == FImage.Height - 1 && FX >= FImage.Width);
  }

private:
  void Put(int Index) {
    if (FX < FImage.Width && FY < FImage.Height)
      Store(TargetRow(FImage, FY), static_cast<uint8_t>(Index));
    ++FX;
  }

  void Store(uint8_t* Row, uint8_t Index) const {
    if (FImage.BitCount == 8) {
      Row[FX] = Index;
      return;
    }
    uint8_t& Byte = Row[FX / 2];
    Byte = FX % 2 == 0 ? static_cast<uint8_t>((Byte & 0x0F) | Index << 4)
                       : static_cast<uint8_t>((Byte & 0xF0) | Index);
  }

  TBitmapFileImage& FImage;
  int64_t FX = 0;
  int64_t FY = 0;
};

// Absolute runs are padded to a 16-bit boundary.
void PutAbsolute(TRleSource& Source, TRleCanvas& Canvas, int Count) {
  const int PerByte = Canvas.PixelsPerByte();
  int Bytes = 0;
  for (int Done = 0; Done < Count; Done += PerByte, ++Bytes)
    Canvas.PutRun(std::min(PerByte, Count - Done), Source.Next());
  if (Bytes % 2 != 0)
    Source.Skip();
}

enum TRleEscape : uint8_t { rleEndOfLine = 0, rleEndOfBitmap = 1, rleDelta = 2 };

// Data that runs out without an end-of-bitmap code is accepted only once every row is complete.
void DecodeRle(TRleSource& Source, TRleCanvas& Canvas) {
  while (!Source.AtEnd()) {
    const uint8_t Count = Source.Next();
    const uint8_t Code = Source.Next();
    if (Count > 0) {
      Canvas.PutRun(Count, Code);
    } else if (Code == rleEndOfLine) {
      Canvas.EndLine();
    } else if (Code == rleEndOfBitmap) {
      return;
    } else if (Code == rleDelta) {
      const uint8_t Right = Source.Next();
      Canvas.Move(Right, Source.Next());
    } else {
      PutAbsolute(Source, Canvas, Code);
    }
  }
  if (!Canvas.Complete())
    Invalid("its run-length data ends before its end-of-bitmap code");
}

// The data ends where biSizeImage says, when it says so and the stream holds that much.
void ReadRlePixels(TStream& Stream, const TBitmapHeader& Header, int64_t BytesLeft,
                   TBitmapFileImage& Image) {
  AllocateRows(Header, Image);
  const int64_t Limit =
      Header.ImageSize == 0 ? BytesLeft : std::min<int64_t>(Header.ImageSize, BytesLeft);
  TRleSource Source(Stream, Limit);
  TRleCanvas Canvas(Image);
  DecodeRle(Source, Canvas);
  Source.LeaveStreamAfterUse();
}

void CheckWritable(const TBitmapFileImage& Image, int64_t TableBytes) {
  const uint16_t Bits = Image.BitCount;
  if (Bits != 1 && Bits != 4 && Bits != 8 && Bits != 24)
    Unwritable(std::to_string(Bits) + " bits per pixel are not 1, 4, 8 or 24");
  if (Image.Width <= 0 || Image.Height <= 0)
    Unwritable("its size " + std::to_string(Image.Width) + " x " + std::to_string(Image.Height) +
               " is not positive");
  const int64_t RowBytes = PaddedRowBytes(Image.Width, Bits);
  const int64_t Room = std::numeric_limits<uint32_t>::max() - FileHeaderSize - InfoHeaderSize;
  if (RowBytes > (Room - TableBytes) / Image.Height)
    Unwritable("it is too large for a bitmap file");
  const size_t Colors = Bits == 24 ? 0 : size_t{1} << Bits;
  if (Image.Colors.size() != Colors)
    Unwritable("it has " + std::to_string(Image.Colors.size()) + " colours where " +
               std::to_string(Bits) + " bits per pixel need " + std::to_string(Colors));
  const auto PixelBytes = static_cast<size_t>(RowBytes) * static_cast<size_t>(Image.Height);
  if (Image.Rows.size() != PixelBytes)
    Unwritable("its rows hold " + std::to_string(Image.Rows.size()) + " bytes where " +
               std::to_string(PixelBytes) + " are needed");
}

void PutU16(std::vector<uint8_t>& Bytes, uint16_t Value) {
  Bytes.push_back(static_cast<uint8_t>(Value));
  Bytes.push_back(static_cast<uint8_t>(Value >> 8));
}

void PutU32(std::vector<uint8_t>& Bytes, uint32_t Value) {
  PutU16(Bytes, static_cast<uint16_t>(Value));
  PutU16(Bytes, static_cast<uint16_t>(Value >> 16));
}

std::vector<uint8_t> HeadersOf(const TBitmapFileImage& Image, uint32_t TableBytes) {
  const uint32_t PixelOffset = FileHeaderSize + InfoHeaderSize + TableBytes;
  const auto PixelBytes = static_cast<uint32_t>(Image.Rows.size());
  std::vector<uint8_t> Bytes{'B', 'M'};
  PutU32(Bytes, PixelOffset + PixelBytes);
  PutU32(Bytes, 0);
  PutU32(Bytes, PixelOffset);
  PutU32(Bytes, InfoHeaderSize);
  PutU32(Bytes, static_cast<uint32_t>(Image.Width));
  PutU32(Bytes, static_cast<uint32_t>(Image.Height));
  PutU16(Bytes, 1);
  PutU16(Bytes, Image.BitCount);
  PutU32(Bytes, BI_RGB);
  PutU32(Bytes, PixelBytes);
  PutU32(Bytes, PixelsPerMetreAt72Dpi);
  PutU32(Bytes, PixelsPerMetreAt72Dpi);
  PutU32(Bytes, 0);
  PutU32(Bytes, 0);
  for (const RGBQUAD& Color : Image.Colors)
    Bytes.insert(Bytes.end(), {Color.rgbBlue, Color.rgbGreen, Color.rgbRed, 0});
  return Bytes;
}

} // namespace

int32_t TBitmapFileImage::RowBytes() const {
  return static_cast<int32_t>(PaddedRowBytes(Width, BitCount));
}

TBitmapFileImage ReadBitmapFile(TStream& Stream) {
  const int64_t Start = Stream.GetPosition();
  TBitmapHeader Header;
  Header.PixelOffset = ReadFileHeader(Stream);
  ReadInfoHeader(Stream, Header);
  CheckFormat(Header);
  CheckShape(Header);
  ReadMasks(Stream, Header);
  TBitmapFileImage Image;
  if (IsIndexed(Header))
    ReadColorTable(Stream, Header, Image);
  const int64_t FileBytes = Stream.GetSize() - Start;
  CheckPixelOffset(Header, Stream.GetPosition() - Start, FileBytes);
  Stream.SetPosition(Start + Header.PixelOffset);
  const int64_t BytesLeft = FileBytes - Header.PixelOffset;
  if (IsRle(Header))
    ReadRlePixels(Stream, Header, BytesLeft, Image);
  else
    ReadStoredPixels(Stream, Header, BytesLeft, Image);
  return Image;
}

void WriteBitmapFile(TStream& Stream, const TBitmapFileImage& Image) {
  const int64_t TableBytes = Image.BitCount <= 8 ? int64_t{4} << Image.BitCount : 0;
  CheckWritable(Image, TableBytes);
  const std::vector<uint8_t> Headers = HeadersOf(Image, static_cast<uint32_t>(TableBytes));
  Stream.WriteBuffer(Headers.data(), static_cast<int64_t>(Headers.size()));
  const auto RowBytes = static_cast<size_t>(Image.RowBytes());
  for (int64_t Row = Image.Height - 1; Row >= 0; --Row)
    Stream.WriteBuffer(Image.Rows.data() + static_cast<size_t>(Row) * RowBytes,
                       static_cast<int64_t>(RowBytes));
}
