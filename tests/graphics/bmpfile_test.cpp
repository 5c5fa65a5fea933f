#include "platform/graphics/bmpfile.h"
#include "platform/graphics/graphics.h"
#include "tests/support/allocation_probe.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
#include <tuple>

namespace {

using TRgb = uint32_t;                            // 0xRRGGBB
using TGrid = std::vector<std::vector<uint32_t>>; // pixel values, top row first

void PutU16(TBytes& Bytes, uint32_t Value) {
  Bytes.insert(Bytes.end(), {uint8_t(Value), uint8_t(Value >> 8)});
}

void PutU32(TBytes& Bytes, uint32_t Value) {
  PutU16(Bytes, Value);
  PutU16(Bytes, Value >> 16);
}

uint32_t U32At(const TBytes& Bytes, size_t At) {
  return Bytes[At] | Bytes[At + 1] << 8 | Bytes[At + 2] << 16 | uint32_t{Bytes[At + 3]} << 24;
}

// A bitmap file put together field by field, so that any field can be made wrong.
struct TBmpShape {
  TBmpShape(uint32_t Header, int32_t W, int32_t H, uint16_t Bits, uint32_t Compress = BI_RGB)
      : HeaderSize(Header), Width(W), Height(H), BitCount(Bits), Compression(Compress) {}
  uint32_t HeaderSize;
  int32_t Width;
  int32_t Height; // negative: top-down
  uint16_t BitCount;
  uint32_t Compression;
  std::vector<uint32_t> Masks;        // after a 40-byte header, inside larger ones
  std::vector<TRgb> Palette;          // stored with reserved bytes of 0xA5
  TBytes Pixels;                      // as stored
  std::optional<uint32_t> ColorsUsed; // unset: the palette's size
  uint32_t ImageSize = 0;
  int64_t PixelOffset = -1; // -1: just after the colour table
};

TBytes BuildBmp(const TBmpShape& S) {
  TBytes Info;
  PutU32(Info, S.HeaderSize);
  if (S.HeaderSize == 12) {
    for (const uint32_t Field : {uint32_t(S.Width), uint32_t(S.Height), 1u, uint32_t{S.BitCount}})
      PutU16(Info, Field);
  } else {
    const uint32_t Used = S.ColorsUsed.value_or(uint32_t(S.Palette.size()));
    for (const uint32_t Field : {uint32_t(S.Width), uint32_t(S.Height), 1u | S.BitCount << 16,
                                 S.Compression, S.ImageSize, 2835u, 2835u, Used, 0u})
      PutU32(Info, Field);
    for (const uint32_t Mask : S.Masks)
      PutU32(Info, Mask);
    Info.resize(std::max<size_t>(Info.size(), std::min(S.HeaderSize, 124u)));
  }
  for (const TRgb Color : S.Palette) {
    Info.insert(Info.end(), {uint8_t(Color), uint8_t(Color >> 8), uint8_t(Color >> 16)});
    if (S.HeaderSize != 12)
      Info.push_back(0xA5);
  }
  TBytes File{'B', 'M'};
  PutU32(File, uint32_t(14 + Info.size() + S.Pixels.size()));
  PutU32(File, 0);
  PutU32(File, uint32_t(S.PixelOffset >= 0 ? S.PixelOffset : int64_t(14 + Info.size())));
  File.insert(File.end(), Info.begin(), Info.end());
  File.insert(File.end(), S.Pixels.begin(), S.Pixels.end());
  return File;
}

void StoreValue(uint8_t* Row, size_t X, int Bits, uint32_t Value) {
  for (int Byte = 0; Bits >= 16 && Byte < Bits / 8; ++Byte)
    Row[X * Bits / 8 + Byte] = uint8_t(Value >> 8 * Byte);
  if (Bits >= 16)
    return;
  const int Shift = 8 - Bits - int(X * Bits % 8);
  uint8_t& Byte = Row[X * Bits / 8];
  Byte = uint8_t((Byte & ~(((1u << Bits) - 1) << Shift)) | Value << Shift);
}

// Rows as stored, bottom row first unless TopDown; files may leave anything in the padding.
TBytes StoreRows(const TGrid& Grid, int Bits, bool TopDown, uint8_t Padding = 0xFF) {
  const size_t Width = Grid[0].size();
  const size_t RowBytes = (Width * Bits + 31) / 32 * 4;
  TBytes Stored(RowBytes * Grid.size(), Padding);
  for (size_t Row = 0; Row < Grid.size(); ++Row)
    for (size_t X = 0; X < Width; ++X)
      StoreValue(&Stored[Row * RowBytes], X, Bits, Grid[TopDown ? Row : Grid.size() - 1 - Row][X]);
  return Stored;
}

// An image as the reader must hand it out: 2^Bits colours, black past Palette, padding zero.
TBitmapFileImage ImageOf(uint16_t Bits, const TGrid& Grid, const std::vector<TRgb>& Palette = {}) {
  TBitmapFileImage Image;
  Image.Width = int32_t(Grid[0].size());
  Image.Height = int32_t(Grid.size());
  Image.BitCount = Bits;
  for (size_t Index = 0; Bits <= 8 && Index < size_t{1} << Bits; ++Index) {
    const TRgb Color = Index < Palette.size() ? Palette[Index] : 0;
    Image.Colors.push_back({uint8_t(Color), uint8_t(Color >> 8), uint8_t(Color >> 16), 0});
  }
  Image.Rows = StoreRows(Grid, Bits, true, 0);
  return Image;
}

void ExpectSame(const TBitmapFileImage& Got, const TBitmapFileImage& Want) {
  auto Fields = [](const TBitmapFileImage& Image) {
    TBytes Colors;
    for (const RGBQUAD& Color : Image.Colors)
      Colors.insert(Colors.end(), {Color.rgbBlue, Color.rgbGreen, Color.rgbRed, Color.rgbReserved});
    return std::tuple(Image.Width, Image.Height, Image.BitCount, Colors, Image.Rows);
  };
  EXPECT_EQ(Fields(Got), Fields(Want));
}

TRgb PaletteColor(size_t Index) {
  return TRgb(Index * 37 & 0xFF) << 16 | TRgb(255 - Index) << 8 | TRgb(Index * 91 & 0xFF);
}

TBitmapFileImage ReadBytes(const TBytes& Bytes) {
  TMemoryStream Stream;
  return ReadBitmapFile(FillStream(Stream, Bytes));
}

// Each refusal comes before anything the size of the claims is allocated.
void ExpectInvalid(const TBytes& Bytes, const std::string& Reason) {
  ResetLargestAllocation();
  const std::string Message = MessageOf<EInvalidGraphic>([&] { ReadBytes(Bytes); });
  EXPECT_EQ(Message.rfind("Bitmap image is not valid: ", 0), 0u) << Message;
  EXPECT_PRED2(Contains, Message, Reason);
  EXPECT_LT(LargestAllocation(), size_t{1} << 16);
}

TBytes FixtureBytes(const std::string& Name) {
  return ReadFileBytes("tests/data/bmp/" + Name);
}

// Width, height, then every pixel's colour, top row first.
std::vector<TRgb> PictureOf(const TBitmapFileImage& Image) {
  std::vector<TRgb> Picture{TRgb(Image.Width), TRgb(Image.Height)};
  const int Bits = Image.BitCount;
  for (int Y = 0; Y < Image.Height; ++Y)
    for (int X = 0; X < Image.Width; ++X) {
      const uint8_t* Row = &Image.Rows[size_t(Y) * size_t(Image.RowBytes())];
      const RGBQUAD Color =
          Bits == 24
              ? RGBQUAD{Row[3 * X], Row[3 * X + 1], Row[3 * X + 2], 0}
              : Image.Colors.at(Row[X * Bits / 8] >> (8 - Bits - X * Bits % 8) & ((1 << Bits) - 1));
      Picture.push_back(TRgb{Color.rgbRed} << 16 | Color.rgbGreen << 8 | Color.rgbBlue);
    }
  return Picture;
}

std::vector<TRgb> PpmPicture(const std::string& Name) {
  std::ifstream Text("tests/data/bmp/" + Name + ".ppm");
  std::string Magic;
  TRgb Width = 0, Height = 0, MaxValue = 0;
  Text >> Magic >> Width >> Height >> MaxValue;
  std::vector<TRgb> Picture{Width, Height};
  for (TRgb Red, Green, Blue; Text >> Red >> Green >> Blue;)
    Picture.push_back(Red << 16 | Green << 8 | Blue);
  return Picture;
}

// ---- Files another program wrote (tests/data/bmp/make_fixtures.sh)

struct TFixture {
  const char* Bitmap;
  const char* Pixels;
  uint16_t BitCount;
};

class BmpFixture : public testing::TestWithParam<TFixture> {};

TEST_P(BmpFixture, LoadsAsItsPixelsAlsoThreeBytesAtATime) {
  const auto& [Bitmap, Pixels, BitCount] = GetParam();
  const TBytes Bytes = FixtureBytes(std::string(Bitmap) + ".bmp");
  const TBitmapFileImage Image = ReadBytes(Bytes);
  EXPECT_EQ(Image.BitCount, BitCount);
  EXPECT_EQ(Image.Colors.size(), BitCount <= 8 ? size_t{1} << BitCount : 0u);
  EXPECT_EQ(PictureOf(Image), PpmPicture(Pixels));
  TTrickleStream Trickle(3, INT64_MAX);
  ExpectSame(ReadBitmapFile(FillStream(Trickle, Bytes)), Image);
  EXPECT_GT(Trickle.ReadCalls(), int32_t(Bytes.size() / 3));
}

INSTANTIATE_TEST_SUITE_P(
    Bmp, BmpFixture,
    testing::Values(TFixture{"core_1", "two", 1}, TFixture{"core_4", "sixteen", 4},
                    TFixture{"core_8", "many", 8}, TFixture{"core_24", "true", 24},
                    TFixture{"info_1", "two", 1}, TFixture{"info_4", "sixteen", 4},
                    TFixture{"info_8", "many", 8}, TFixture{"info_rle8", "many", 8},
                    TFixture{"info_24", "true", 24}, TFixture{"info_32", "true", 24},
                    TFixture{"v5_1", "two", 1}, TFixture{"v5_4", "sixteen", 4},
                    TFixture{"v5_8", "many", 8}, TFixture{"v5_rle8", "many", 8},
                    TFixture{"v5_24", "true", 24}, TFixture{"v5_555", "levels555", 24},
                    TFixture{"v5_565", "levels565", 24}, TFixture{"v5_1555", "levels555", 24},
                    TFixture{"v5_4444", "levels4444", 24}, TFixture{"v5_argb32", "true", 24}),
    [](const auto& Info) { return std::string(Info.param.Bitmap); });

// ---- Every header size, depth, compression and row order

// Truecolour formats list stored values and the colours they load as; indexed ones use
// PaletteColor.
struct TFormat {
  const char* Name;
  uint16_t BitCount;
  uint32_t Compression;
  std::vector<uint32_t> Masks;
  std::vector<std::pair<uint32_t, TRgb>> Values;
};

const TFormat Formats[] = {
    {"1", 1, BI_RGB, {}, {}},
    {"4", 4, BI_RGB, {}, {}},
    {"8", 8, BI_RGB, {}, {}},
    {"24", 24, BI_RGB, {}, {{0x123456, 0x123456}, {0xFEDCBA, 0xFEDCBA}, {0, 0}}},
    {"555",
     16,
     BI_RGB,
     {},
     {{0x7FFF, 0xFFFFFF},
      {0x7C00, 0xFF0000},
      {0x03E0, 0x00FF00},
      {0x001F, 0x0000FF},
      {0x0421, 0x080808},
      {0x8C63, 0x191919}}},
    {"565",
     16,
     BI_BITFIELDS,
     {0xF800, 0x07E0, 0x001F},
     {{0xF800, 0xFF0000}, {0x07E0, 0x00FF00}, {0x0020, 0x000400}, {0x0800, 0x080000}}},
    {"xrgb", 32, BI_RGB, {}, {{0xFF123456, 0x123456}, {0x80000000, 0}, {0x7FFFFFFF, 0xFFFFFF}}},
    {"abgr",
     32,
     BI_BITFIELDS,
     {0xFF, 0xFF00, 0xFF0000},
     {{0x11223344, 0x443322}, {0xFF, 0xFF0000}}},
};

using TLayout = std::tuple<uint32_t, const TFormat*, bool>; // header size, format, top-down

std::vector<TLayout> Layouts() {
  std::vector<TLayout> List;
  for (const TFormat& Format : Formats)
    for (const uint32_t Size : {12u, 40u, 108u, 124u})
      for (const bool TopDown : {false, true})
        if (Size != 12 || (!TopDown && Format.Compression == BI_RGB && Format.BitCount % 16 != 0))
          List.emplace_back(Size, &Format, TopDown);
  return List;
}

class BmpLayout : public testing::TestWithParam<TLayout> {};

TEST_P(BmpLayout, LoadsEveryPixelInPlace) {
  const auto& [HeaderSize, Format, TopDown] = GetParam();
  const bool Indexed = Format->BitCount <= 8;
  const size_t Choices = Indexed ? size_t{1} << Format->BitCount : Format->Values.size();
  TGrid Stored(3, std::vector<uint32_t>(5)), Loaded = Stored;
  for (size_t Y = 0; Y < 3; ++Y)
    for (size_t X = 0; X < 5; ++X) {
      const size_t Choice = (X * 7 + Y * 3 + 1) % Choices;
      Stored[Y][X] = Indexed ? uint32_t(Choice) : Format->Values[Choice].first;
      Loaded[Y][X] = Indexed ? uint32_t(Choice) : Format->Values[Choice].second;
    }
  TBmpShape Shape(HeaderSize, 5, TopDown ? -3 : 3, Format->BitCount, Format->Compression);
  for (size_t Index = 0; Indexed && Index < Choices; ++Index)
    Shape.Palette.push_back(PaletteColor(Index));
  Shape.Masks = Format->Masks;
  Shape.Pixels = StoreRows(Stored, Format->BitCount, TopDown);
  ExpectSame(ReadBytes(BuildBmp(Shape)),
             ImageOf(Indexed ? Format->BitCount : 24, Loaded, Shape.Palette));
}

std::string LayoutName(const testing::TestParamInfo<TLayout>& Info) {
  const auto& [Size, Format, TopDown] = Info.param;
  return "Header" + std::to_string(Size) + "_" + Format->Name + (TopDown ? "_TopDown" : "");
}

INSTANTIATE_TEST_SUITE_P(Bmp, BmpLayout, testing::ValuesIn(Layouts()), LayoutName);

// ---- Colour masks and colour tables

TBytes MaskedPixel(uint16_t Bits, std::vector<uint32_t> Masks, uint32_t Pixel) {
  TBmpShape Shape(40, 1, 1, Bits, BI_BITFIELDS);
  Shape.Masks = std::move(Masks);
  Shape.Pixels = StoreRows({{Pixel}}, Bits, false);
  return BuildBmp(Shape);
}

// Channels load as round(v * 255 / (2^bits - 1)); a zero mask loads as 0; masks may overlap.
TEST(BmpMasks, ScaleEachChannelToTheNearestEightBitValue) {
  const std::tuple<uint16_t, std::vector<uint32_t>, uint32_t, TRgb> Cases[] = {
      {32, {0x1, 0x6, 0x70}, 0x33, 0xFF556D},
      {16, {0x7C00, 0x03E0, 0x001F}, 3 << 10 | 16 << 5 | 30, 0x1984F7},
      {16, {0, 0x07E0, 0}, 0xFFFF, 0x00FF00},
      {16, {0xF800, 0x07E0, 0x001F}, 1 << 5, 0x000400},
      {16, {0xF800, 0x07E0, 0x001F}, 32 << 5, 0x008200},
      {32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 512 << 20 | 3 << 10 | 2, 0x800100},
      {32, {0xFFFF0000, 0, 0x0000FFFF}, 0x80007FFF, 0x80007F},
      {32, {0xFFFFFFFF, 0, 0}, 0x80000000, 0x800000},
      {32, {0xFFFFFFFF, 0, 0}, 0x7FFFFFFF, 0x7F0000},
      {16, {0xFF, 0xFF, 0xFF}, 0x5A, 0x5A5A5A},
  };
  for (const auto& [Bits, Masks, Pixel, Want] : Cases)
    EXPECT_EQ(PictureOf(ReadBytes(MaskedPixel(Bits, Masks, Pixel)))[2], Want) << std::hex << Pixel;
  for (uint32_t Value = 0; Value < 256; ++Value) {
    const uint32_t Pixel = Value << 16 | (255 - Value) << 8 | (Value ^ 0x5A);
    const TBytes File = MaskedPixel(32, {0xFF0000, 0xFF00, 0xFF}, Pixel | 0xFF000000);
    ASSERT_EQ(PictureOf(ReadBytes(File))[2], Pixel);
  }
}

// biClrUsed entries come from the file (0: all of them), the rest are black, and more than the
// pixels can index are clamped to those.
TEST(BmpColorTable, ColorsUsedTellsTheEntriesRead) {
  const std::tuple<uint16_t, uint32_t, size_t, size_t> Cases[] = {
      {8, 3, 3, 3}, {4, 0, 16, 16}, {1, 5, 2, 2}, {4, 0xFFFFFFFF, 16, 16}};
  for (const auto& [Bits, Used, Written, Read] : Cases) {
    TBmpShape Shape(40, 1, 1, Bits);
    for (size_t Index = 0; Index < Written; ++Index)
      Shape.Palette.push_back(PaletteColor(Index + 1));
    Shape.ColorsUsed = Used;
    Shape.Pixels = StoreRows({{0}}, Bits, false);
    const std::vector<TRgb> Want(Shape.Palette.begin(), Shape.Palette.begin() + ptrdiff_t(Read));
    ExpectSame(ReadBytes(BuildBmp(Shape)), ImageOf(Bits, {{0}}, Want));
  }
}

// ---- Run-length data

TBytes RleFile(uint16_t Bits, int32_t Width, int32_t Height, const TBytes& Data) {
  TBmpShape Shape(40, Width, Height, Bits, Bits == 8 ? BI_RLE8 : BI_RLE4);
  Shape.Palette.assign(16, 0x808080);
  Shape.Pixels = Data;
  return BuildBmp(Shape);
}

// Pixels no code reaches stay 0; runs and deltas past the right edge or the top are dropped.
TEST(BmpRle, DecodesEveryEscapeAndClipsAtTheEdges) {
  const std::tuple<const char*, uint16_t, TBytes, std::vector<const char*>> Cases[] = {
      {"runs, line ends", 8, {2, 5, 2, 6, 0, 0, 4, 7, 0, 0, 1, 1, 0, 1}, {"1000", "7777", "5566"}},
      {"absolute runs",
       8,
       {0, 3, 1, 2, 3, 0, 1, 4, 0, 0, 0, 4, 5, 6, 7, 8, 0, 1},
       {"5678", "1234"}},
      {"delta", 8, {0, 2, 1, 1, 2, 9, 0, 1}, {"0000", "0990", "0000"}},
      {"run past the edge", 8, {6, 3, 0, 0, 1, 4, 0, 1}, {"4000", "3333"}},
      {"absolute past the edge", 8, {0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 2, 6, 0, 1}, {"6600", "1234"}},
      {"delta past the top", 8, {0, 2, 0, 5, 3, 7, 0, 1}, {"0000", "0000"}},
      {"delta past the edge", 8, {0, 2, 9, 0, 2, 1, 0, 0, 1, 2, 0, 1}, {"2000", "0000"}},
      {"rows past the top", 8, {0, 0, 0, 0, 0, 0, 2, 1, 0, 1}, {"00", "00"}},
      {"no end code, rows complete", 8, {4, 1, 0, 0, 4, 2, 0, 0, 4, 3}, {"3333", "2222", "1111"}},
      {"4-bit runs, even absolute", 4, {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}, {"34500", "12121"}},
      {"4-bit odd absolute",
       4,
       {0, 5, 0xAB, 0xCD, 0xE0, 0, 2, 0xFF, 0, 0, 3, 0x70, 0, 1},
       {"70700", "ABCDE"}},
      {"4-bit delta", 4, {0, 2, 3, 1, 2, 0x9A, 0, 1}, {"0009A", "00000"}},
      {"4-bit odd starts", 4, {1, 0xF0, 3, 0x12, 1, 0x30, 0, 1}, {"F1213"}},
  };
  for (const auto& [Name, Bits, Data, Want] : Cases) {
    SCOPED_TRACE(Name);
    TGrid Grid;
    for (const std::string Row : Want) {
      Grid.emplace_back();
      for (const char Digit : Row)
        Grid.back().push_back(uint32_t(std::stoi(std::string(1, Digit), nullptr, 16)));
    }
    const TBytes File = RleFile(Bits, int32_t(Grid[0].size()), int32_t(Grid.size()), Data);
    ExpectSame(ReadBytes(File), ImageOf(Bits, Grid, std::vector<TRgb>(16, 0x808080)));
  }
}

// The limit itself is allowed: 2^28 pixels of which the data sets none.
TEST(BmpRle, AnImageAtThePixelLimitLoads) {
  const TBitmapFileImage Image = ReadBytes(RleFile(8, 1 << 14, 1 << 14, {0, 1}));
  EXPECT_EQ(int64_t{Image.Width} * Image.Height, MaxRleBitmapPixels);
  EXPECT_EQ(std::count(Image.Rows.begin(), Image.Rows.end(), 0), int64_t(Image.Rows.size()));
  ExpectInvalid(RleFile(8, (1 << 14) + 1, 1 << 14, {0, 1}), "pixels are too many");
}

// biSizeImage bounds the data; the stream is left just after the end-of-bitmap code.
TEST(BmpRle, DataEndsAtItsSizeAndTheStreamAfterItsEndCode) {
  TBmpShape Shape(40, 3, 1, 8, BI_RLE8);
  Shape.Palette.assign(3, 0);
  Shape.Pixels = {2, 1, 1, 2, 0, 1, 0xEE, 0xEE};
  const TBytes File = BuildBmp(Shape);
  TMemoryStream Stream;
  ExpectSame(ReadBitmapFile(FillStream(Stream, File)), ImageOf(8, {{1, 1, 2}}));
  EXPECT_EQ(Stream.GetPosition(), int64_t(File.size()) - 2);
  Shape.ImageSize = 2;
  ExpectInvalid(BuildBmp(Shape), "run-length data ends before its end-of-bitmap code");
  Shape.ImageSize = 3;
  ExpectInvalid(BuildBmp(Shape), "the file ends inside its run-length data");
}

// ---- Damaged files

TBmpShape SmallShape() {
  TBmpShape Shape(40, 3, 2, 8);
  Shape.Palette = {0x112233, 0x445566};
  Shape.Pixels = StoreRows({{0, 1, 0}, {1, 0, 1}}, 8, false);
  return Shape;
}

TBytes Damaged(const std::function<void(TBmpShape&)>& Damage) {
  TBmpShape Shape = SmallShape();
  Damage(Shape);
  return BuildBmp(Shape);
}

TEST(BmpDamage, IsRefusedWithItsReason) {
  TBytes Foreign = BuildBmp(SmallShape());
  Foreign[1] = 'A';
  TBmpShape NoMasks(40, 1, 1, 16, BI_BITFIELDS);
  NoMasks.Pixels.assign(16, 0); // the reader takes its first 12 bytes for the masks
  NoMasks.PixelOffset = 54;
  const std::tuple<const char*, TBytes, const char*> Cases[] = {
      {"empty", {}, "ends inside its file header"},
      {"BM?", {'B', 'M', '?'}, "ends inside its file header"},
      {"signature", Foreign, "does not start with \"BM\""},
      {"header 0", Damaged([](auto& S) { S.HeaderSize = 0; }), "unknown size of 0 bytes"},
      {"header 64", Damaged([](auto& S) { S.HeaderSize = 64; }), "unknown size of 64 bytes"},
      {"header huge", Damaged([](auto& S) { S.HeaderSize = ~0u; }), "unknown size of 4294967295"},
      {"width 0", Damaged([](auto& S) { S.Width = 0; }), "width of 0 pixels is not positive"},
      {"width -3", Damaged([](auto& S) { S.Width = -3; }), "width of -3 pixels is not positive"},
      {"core width", Damaged([](auto& S) { S.HeaderSize = 12, S.Width = 0; }), "width of 0"},
      {"height 0", Damaged([](auto& S) { S.Height = 0; }), "its height is 0"},
      {"height min", Damaged([](auto& S) { S.Height = INT32_MIN; }), "height is out of range"},
      {"2 bits", Damaged([](auto& S) { S.BitCount = 2; }), "2 bits per pixel are not supported"},
      {"3 bits", Damaged([](auto& S) { S.BitCount = 3; }), "3 bits per pixel are not supported"},
      {"64 bits", Damaged([](auto& S) { S.BitCount = 64; }), "64 bits per pixel are not"},
      {"JPEG", Damaged([](auto& S) { S.Compression = 4; }), "compression 4 is not supported"},
      {"RLE8 at 4 bits", Damaged([](auto& S) { S.BitCount = 4, S.Compression = BI_RLE8; }),
       "compression 1 does not go with 4 bits per pixel"},
      {"RLE4 at 8 bits", Damaged([](auto& S) { S.Compression = BI_RLE4; }), "compression 2 does"},
      {"fields at 8 bits", Damaged([](auto& S) { S.Compression = BI_BITFIELDS; }), "3 does not"},
      {"fields at 24", Damaged([](auto& S) { S.BitCount = 24, S.Compression = 3; }), "3 does not"},
      {"top-down RLE8", RleFile(8, 4, -3, {0, 1}),
       "run-length compressed rows are stored top-down"},
      {"top-down RLE4", RleFile(4, 4, -3, {0, 1}), "rows are stored top-down"},
      {"RLE over the limit", RleFile(8, 65536, 4097, {0, 1}), "65536 x 4097 pixels are too many"},
      {"RLE of 2^62 pixels", RleFile(4, INT32_MAX, INT32_MAX, {0, 1}), "pixels are too many"},
      {"scattered mask", MaskedPixel(16, {0x0F0F, 0xF0, 0xF}, 0),
       "red mask 0x00000F0F is not one run"},
      {"scattered 32", MaskedPixel(32, {1, 0x80000001, 0}, 0), "green mask 0x80000001 is not one"},
      {"mask too wide", MaskedPixel(16, {1, 2, 0x1F0000}, 0),
       "blue mask 0x001F0000 does not fit in 16"},
      {"offset in file header", Damaged([](auto& S) { S.PixelOffset = 10; }),
       "pixel offset 10 points inside its headers, which end at 62"},
      {"offset in table", Damaged([](auto& S) { S.PixelOffset = 58; }), "offset 58 points inside"},
      {"offset in masks", BuildBmp(NoMasks),
       "offset 54 points inside its headers, which end at 66"},
      {"offset past the end", Damaged([](auto& S) { S.PixelOffset = 71; }),
       "pixel offset 71 lies beyond the end of the file"},
      {"offset at the end", Damaged([](auto& S) { S.PixelOffset = 70; }), "ends inside its pixels"},
      {"pixels short", Damaged([](auto& S) { S.Pixels.pop_back(); }), "ends inside its pixels"},
      {"gigabytes of 32 bits",
       Damaged([](auto& S) { S.Width = S.Height = INT32_MAX, S.BitCount = 32; }),
       "ends inside its pixels"},
      {"gigabytes of 1 bit",
       Damaged([](auto& S) { S.Width = INT32_MAX, S.Height = -(1 << 20), S.BitCount = 1; }),
       "ends inside its pixels"},
      {"RLE empty", RleFile(8, 4, 3, {}), "ends before its end-of-bitmap code"},
      {"RLE rows left", RleFile(8, 4, 3, {4, 1, 0, 0, 4, 2}), "ends before its end-of-bitmap"},
      {"RLE in a run", RleFile(8, 4, 3, {4}), "ends inside its run-length data"},
      {"RLE in absolute", RleFile(8, 4, 3, {0, 4, 1, 2}), "ends inside its run-length data"},
      {"RLE in padding", RleFile(8, 4, 3, {0, 3, 1, 2, 3}), "ends inside its run-length data"},
      {"RLE in a delta", RleFile(8, 4, 3, {0, 2, 1}), "ends inside its run-length data"},
  };
  for (const auto& [Name, Bytes, Reason] : Cases) {
    SCOPED_TRACE(Name);
    ExpectInvalid(Bytes, Reason);
  }
}

// Every cut raises, except those that drop only run-length codes adding nothing to the image.
TEST(BmpDamage, EveryTruncationIsRefused) {
  TBmpShape Masked(40, 3, 1, 16, BI_BITFIELDS);
  Masked.Masks = {0xF800, 0x07E0, 0x001F};
  Masked.Pixels = StoreRows({{1, 2, 3}}, 16, false);
  const TBytes Rle8 = FixtureBytes("info_rle8.bmp"); // ends: run past the edge, EOL, EOB
  const std::tuple<TBytes, std::vector<size_t>> Cases[] = {
      {FixtureBytes("core_4.bmp"), {}},
      {BuildBmp(SmallShape()), {}},
      {BuildBmp(Masked), {}},
      {FixtureBytes("v5_565.bmp"), {}},
      {Rle8, {Rle8.size() - 6, Rle8.size() - 4, Rle8.size() - 2}},
      {RleFile(4, 5, 2, {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}), {}},
  };
  for (const auto& [File, WholeCuts] : Cases) {
    const TBitmapFileImage Whole = ReadBytes(File);
    for (size_t Length = 0; Length < File.size(); ++Length) {
      SCOPED_TRACE(testing::Message() << File.size() << " bytes cut to " << Length);
      const TBytes Cut(File.begin(), File.begin() + ptrdiff_t(Length));
      if (std::count(WholeCuts.begin(), WholeCuts.end(), Length) != 0)
        ExpectSame(ReadBytes(Cut), Whole);
      else
        ExpectInvalid(Cut, "");
    }
  }
}

// ---- Streams

// The stream's own errors pass through; one that delivers less than its size is a cut file.
TEST(BmpStreams, StreamErrorsPassThroughAndShrinkingStreamsAreCutFiles) {
  class TFailingStream : public TMemoryStream {
    int32_t Read(void* Buffer, int32_t Count) override {
      if (GetPosition() + Count > 40)
        throw EReadError("Stream read error: the disk is gone");
      return TMemoryStream::Read(Buffer, Count);
    }
  } Failing;
  const TBytes File = BuildBmp(SmallShape());
  EXPECT_THROW(ReadBitmapFile(FillStream(Failing, File)), EReadError);
  TTrickleStream Shrinking(3, int64_t(File.size()) - 1);
  EXPECT_THROW(ReadBitmapFile(FillStream(Shrinking, File)), EInvalidGraphic);
}

// A file inside a larger stream starts at the stream's position and ends after its pixels.
TEST(BmpStreams, ReadFromThePositionAndLeaveTheStreamAfterThePixels) {
  for (const char* Name : {"info_8.bmp", "info_rle8.bmp", "core_24.bmp"}) {
    const TBytes File = FixtureBytes(Name);
    TBytes Bytes{1, 2, 3};
    for (int Copy = 0; Copy < 2; ++Copy)
      Bytes.insert(Bytes.end(), File.begin(), File.end());
    Bytes.insert(Bytes.end(), {9, 9});
    TMemoryStream Stream;
    FillStream(Stream, Bytes).SetPosition(3);
    for (int Copy = 1; Copy <= 2; ++Copy) {
      ExpectSame(ReadBitmapFile(Stream), ReadBytes(File));
      EXPECT_EQ(Stream.GetPosition(), int64_t(3 + Copy * File.size())) << Name;
    }
  }
}

// ---- Writing

TBitmapFileImage TestImage(uint16_t Bits, size_t Width, size_t Height) {
  TGrid Grid(Height, std::vector<uint32_t>(Width));
  for (size_t Y = 0; Y < Height; ++Y)
    for (size_t X = 0; X < Width; ++X)
      Grid[Y][X] = uint32_t((X * 97 + Y * 61 + 13) * 2654435761u >> 8) %
                   (Bits == 24 ? 1u << 24 : 1u << Bits);
  std::vector<TRgb> Palette;
  for (size_t Index = 0; Bits <= 8 && Index < size_t{1} << Bits; ++Index)
    Palette.push_back(PaletteColor(Index));
  return ImageOf(Bits, Grid, Palette);
}

TEST(BmpWrite, EveryDepthAndPaddingReadsBackTheSame) {
  for (const uint16_t Bits : {1, 4, 8, 24})
    for (size_t Width = 1; Width <= 9; ++Width) {
      SCOPED_TRACE(testing::Message() << Bits << " bits, width " << Width);
      const TBitmapFileImage Image = TestImage(Bits, Width, 3);
      TMemoryStream Stream;
      WriteBitmapFile(Stream, Image);
      Stream.SetPosition(0);
      ExpectSame(ReadBitmapFile(Stream), Image);
    }
}

TEST(BmpWrite, HeadersDescribeABottomUpFileAt72Dpi) {
  const TBitmapFileImage Image = TestImage(8, 5, 3);
  TMemoryStream Stream;
  WriteBitmapFile(Stream, Image);
  const TBytes File = StreamBytes(Stream);
  ASSERT_EQ(File.size(), 14u + 40 + 1024 + 3 * 8);
  EXPECT_EQ(TBytes(File.begin(), File.begin() + 2), (TBytes{'B', 'M'}));
  const std::pair<size_t, uint32_t> Fields[] = {
      {2, 1102}, {6, 0},      {10, 1078}, {14, 40},   {18, 5}, {22, 3}, {26, 1 | 8 << 16},
      {30, 0},   {34, 3 * 8}, {38, 2835}, {42, 2835}, {46, 0}, {50, 0}};
  for (const auto& [At, Value] : Fields)
    EXPECT_EQ(U32At(File, At), Value) << "at " << At;
  EXPECT_TRUE(std::equal(Image.Rows.end() - 8, Image.Rows.end(), File.begin() + 1078));
  EXPECT_EQ(U32At(File, 54 + 4 * 7), 0u | PaletteColor(7));
  TMemoryStream TrueColor;
  WriteBitmapFile(TrueColor, TestImage(24, 2, 1));
  EXPECT_EQ(U32At(StreamBytes(TrueColor), 2), 62u);
  EXPECT_EQ(U32At(StreamBytes(TrueColor), 10), 54u);
}

TEST(BmpWrite, RefusesImagesItCannotWrite) {
  const std::tuple<const char*, std::function<void(TBitmapFileImage&)>, const char*> Cases[] = {
      {"16 bits", [](auto& I) { I.BitCount = 16; }, "16 bits per pixel are not 1, 4, 8 or 24"},
      {"2 bits", [](auto& I) { I.BitCount = 2; }, "2 bits per pixel are not"},
      {"width 0", [](auto& I) { I.Width = 0; }, "its size 0 x 3 is not positive"},
      {"height -3", [](auto& I) { I.Height = -3; }, "its size 5 x -3 is not positive"},
      {"rows short", [](auto& I) { I.Rows.pop_back(); }, "rows hold 23 bytes where 24 are needed"},
      {"rows long", [](auto& I) { I.Rows.push_back(0); }, "rows hold 25 bytes"},
      {"colours short", [](auto& I) { I.Colors.resize(3); },
       "3 colours where 8 bits per pixel need 256"},
      {"colours at 24 bits", [](auto& I) { I.BitCount = 24; },
       "256 colours where 24 bits per pixel need 0"},
      {"too large", [](auto& I) { I.Width = I.Height = INT32_MAX; }, "too large for a bitmap file"},
  };
  for (const auto& [Name, Damage, Reason] : Cases) {
    SCOPED_TRACE(Name);
    TBitmapFileImage Image = TestImage(8, 5, 3);
    Damage(Image);
    TMemoryStream Stream;
    EXPECT_PRED2(Contains, MessageOf<EInvalidGraphic>([&] { WriteBitmapFile(Stream, Image); }),
                 Reason);
    EXPECT_EQ(Stream.GetSize(), 0);
  }
  TTrickleStream Full(7, INT64_MAX, 100);
  EXPECT_THROW(WriteBitmapFile(Full, TestImage(24, 9, 9)), EWriteError);
}

} // namespace
