#include "platform/graphics/bmpfile.h"
#include "platform/graphics/graphics.h"
#include "tests/support/allocation_probe.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <tuple>

namespace {

using TRgb = uint32_t; // 0xRRGGBB

void PutU32(TBytes& Bytes, uint32_t Value) {
  for (int Shift = 0; Shift < 32; Shift += 8)
    Bytes.push_back(uint8_t(Value >> Shift));
}

uint32_t U32At(const TBytes& Bytes, size_t At) {
  return Bytes[At] | Bytes[At + 1] << 8 | Bytes[At + 2] << 16 | uint32_t{Bytes[At + 3]} << 24;
}

// A bitmap file put together field by field, so that any field can be made wrong.
struct TBmpShape {
  uint32_t HeaderSize;
  int32_t Width;
  int32_t Height; // negative: top-down
  uint16_t BitCount;
  uint32_t Compression = BI_RGB;
  std::vector<uint32_t> Masks{}; // after a 40-byte header, inside larger ones
  std::vector<TRgb> Palette{};   // stored with reserved bytes of 0xA5
  TBytes Pixels{};               // as stored
  uint32_t ImageSize = 0;
  int64_t PixelOffset = -1; // -1: just after the colour table
};

TBytes BuildBmp(const TBmpShape& S) {
  TBytes Info;
  for (const uint32_t Field :
       {S.HeaderSize, uint32_t(S.Width), uint32_t(S.Height), 1u | S.BitCount << 16, S.Compression,
        S.ImageSize, 2835u, 2835u, uint32_t(S.Palette.size()), 0u})
    PutU32(Info, Field);
  for (const uint32_t Mask : S.Masks)
    PutU32(Info, Mask);
  Info.resize(std::max<size_t>(Info.size(), std::min(S.HeaderSize, 124u)));
  for (const TRgb Color : S.Palette)
    Info.insert(Info.end(), {uint8_t(Color), uint8_t(Color >> 8), uint8_t(Color >> 16), 0xA5});
  TBytes File{'B', 'M'};
  const int64_t Offset = S.PixelOffset >= 0 ? S.PixelOffset : int64_t(14 + Info.size());
  for (const uint32_t Field : {uint32_t(14 + Info.size() + S.Pixels.size()), 0u, uint32_t(Offset)})
    PutU32(File, Field);
  File.insert(File.end(), Info.begin(), Info.end());
  File.insert(File.end(), S.Pixels.begin(), S.Pixels.end());
  return File;
}

TBytes MaskedPixel(uint16_t Bits, std::vector<uint32_t> Masks, uint32_t Pixel) {
  TBmpShape Shape{40, 1, 1, Bits, BI_BITFIELDS, std::move(Masks)};
  PutU32(Shape.Pixels, Pixel); // a 16-bit pixel and its padding
  return BuildBmp(Shape);
}

// Palette entry i is the colour i, so that pictures read as indices.
TBytes RleFile(uint16_t Bits, int32_t Width, int32_t Height, const TBytes& Data,
               uint32_t ImageSize = 0) {
  TBmpShape Shape{40, Width, Height, Bits, Bits == 8 ? BI_RLE8 : BI_RLE4, {}, {}, Data, ImageSize};
  for (TRgb Index = 0; Index < 16; ++Index)
    Shape.Palette.push_back(Index);
  return BuildBmp(Shape);
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
  TRgb Width = 0, Height = 0, MaxValue = 0;
  Text.ignore(2) >> Width >> Height >> MaxValue; // after "P3"
  std::vector<TRgb> Picture{Width, Height};
  for (TRgb Red, Green, Blue; Text >> Red >> Green >> Blue;)
    Picture.push_back(Red << 16 | Green << 8 | Blue);
  return Picture;
}

// ---- Files another program wrote (tests/data/bmp/make_fixtures.sh)

using TFixture = std::pair<const char*, const char*>; // bitmap, pixels

class BmpFixture : public testing::TestWithParam<TFixture> {};

TEST_P(BmpFixture, LoadsAsItsPixelsAlsoThreeBytesAtATime) {
  const auto& [Bitmap, Pixels] = GetParam();
  const TBytes Bytes = ReadFileBytes("tests/data/bmp/" + std::string(Bitmap) + ".bmp");
  const TBitmapFileImage Image = ReadBytes(Bytes);
  EXPECT_EQ(PictureOf(Image), PpmPicture(Pixels));
  TTrickleStream Trickle(3, INT64_MAX);
  EXPECT_EQ(PictureOf(ReadBitmapFile(FillStream(Trickle, Bytes))), PictureOf(Image));
}

const TFixture Fixtures[] = {
    {"core_1", "two"},         {"core_4", "sixteen"},   {"core_8", "many"},
    {"core_24", "true"},       {"info_1", "two"},       {"info_4", "sixteen"},
    {"info_8", "many"},        {"info_rle8", "many"},   {"info_24", "true"},
    {"info_32", "true"},       {"v5_1", "two"},         {"v5_4", "sixteen"},
    {"v5_8", "many"},          {"v5_rle8", "many"},     {"v5_24", "true"},
    {"v5_555", "levels555"},   {"v5_565", "levels565"}, {"v5_1555", "levels555"},
    {"v5_4444", "levels4444"}, {"v5_argb32", "true"}};

INSTANTIATE_TEST_SUITE_P(Bmp, BmpFixture, testing::ValuesIn(Fixtures),
                         [](const auto& Info) { return std::string(Info.param.first); });

// ---- Headers and colour masks

// The fixtures have no 108-byte header and no top-down rows.
TEST(BmpHeaders, EverySizeHoldsItsMasksAndEitherRowOrder) {
  const std::vector<TRgb> Want{2, 2, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  for (const uint32_t HeaderSize : {40u, 108u, 124u})
    for (const int32_t Height : {2, -2}) {
      TBmpShape Shape{HeaderSize, 2, Height, 16, BI_BITFIELDS};
      Shape.Masks = {0xF800, 0x07E0, 0x001F};
      Shape.Pixels = {0x1F, 0x00, 0xFF, 0xFF, 0x00, 0xF8, 0xE0, 0x07}; // bottom row first
      if (Height < 0)
        std::rotate(Shape.Pixels.begin(), Shape.Pixels.begin() + 4, Shape.Pixels.end());
      EXPECT_EQ(PictureOf(ReadBytes(BuildBmp(Shape))), Want) << HeaderSize << ", " << Height;
    }
}

// Channels load as round(v * 255 / (2^bits - 1)), also of 1, 10 and 32 bits (the fixtures hold
// the usual 4, 5 and 6); a zero mask loads as 0; masks may overlap.
TEST(BmpMasks, ScaleEachChannelToTheNearestEightBitValue) {
  const std::tuple<uint16_t, std::vector<uint32_t>, uint32_t, TRgb> Cases[] = {
      {32, {0x1, 0x6, 0x70}, 0x33, 0xFF556D},
      {16, {0, 0x07E0, 0}, 0xFFFF, 0x00FF00},
      {32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 512 << 20 | 3 << 10 | 2, 0x800100},
      {32, {0xFFFFFFFF, 0, 0}, 0x7FFFFFFF, 0x7F0000},
      {16, {0xFF, 0xFF, 0xFF}, 0x5A, 0x5A5A5A},
  };
  for (const auto& [Bits, Masks, Pixel, Want] : Cases)
    EXPECT_EQ(PictureOf(ReadBytes(MaskedPixel(Bits, Masks, Pixel)))[2], Want) << std::hex << Pixel;
}

// A colour table shorter than the pixels can index is black past its end, so pixels indexing
// past the listed colours show black; a longer one is cut to the entries they can index.
TEST(BmpColours, EntriesPastTheListedOnesAreBlack) {
  const std::pair<std::vector<TRgb>, TRgb> Cases[] = {{{0xFFFFFF}, 0x000000},
                                                      {{0xFFFFFF, 0x123456, 0xABCDEF}, 0x123456}};
  for (const auto& [Palette, Second] : Cases) {
    const TBmpShape Shape{40, 2, 1, 1, BI_RGB, {}, Palette, {0x40, 0, 0, 0}};
    EXPECT_EQ(PictureOf(ReadBytes(BuildBmp(Shape))), (std::vector<TRgb>{2, 1, 0xFFFFFF, Second}));
  }
}

// ---- Run-length data

// Runs, line ends, deltas and absolute runs padded to 16 bits; pixels no code reaches stay 0;
// runs and deltas past the right edge or the top are dropped; a 4-bit run alternates its two
// indices from its own start, odd or even.
TEST(BmpRle, DecodesEveryEscapeAndClipsAtTheEdges) {
  const std::tuple<const char*, uint16_t, TBytes, std::vector<std::string>> Cases[] = {
      {"codes", 8, {2, 5, 2, 6, 0, 0, 0, 2, 1, 0, 0, 3, 7, 8, 9, 0, 0, 1}, {"0789", "5566"}},
      {"clip", 8, {0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 2, 6, 0, 2, 0, 5, 3, 7, 0, 1}, {"6600", "1234"}},
      {"no end code, rows complete", 8, {4, 1, 0, 0, 4, 2}, {"2222", "1111"}},
      {"a run above the top", 8, {0, 0, 1, 7, 0, 1}, {"0"}},
      {"4-bit runs, even absolute", 4, {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}, {"34500", "12121"}},
      {"4-bit odd", 4, {1, 0xF0, 3, 0x12, 0, 5, 0xAB, 0xCD, 0xE0, 0, 0, 1}, {"F121ABCDE"}},
  };

  for (const auto& [Name, Bits, Data, Rows] : Cases) {
    std::vector<TRgb> Want{TRgb(Rows[0].size()), TRgb(Rows.size())};
    for (const std::string& Row : Rows)
      for (const char Digit : Row)
        Want.push_back(TRgb(std::stoi(std::string(1, Digit), nullptr, 16)));
    const TBytes File = RleFile(Bits, int32_t(Want[0]), int32_t(Want[1]), Data);
    EXPECT_EQ(PictureOf(ReadBytes(File)), Want) << Name;
  }
}

// The limit itself is allowed: 2^28 pixels of which the data sets none.
TEST(BmpRle, AnImageAtThePixelLimitLoads) {
  const TBitmapFileImage Image = ReadBytes(RleFile(8, 1 << 14, 1 << 14, {0, 1}));
  EXPECT_EQ(int64_t{Image.Width} * Image.Height, MaxRleBitmapPixels);
  EXPECT_EQ(std::count(Image.Rows.begin(), Image.Rows.end(), 0), int64_t(Image.Rows.size()));
}

// ---- Damaged files

TBmpShape SmallShape() {
  // Rows bottom first, their padding as writers may leave it.
  return {40, 3, 2, 8, BI_RGB, {}, {0x112233, 0x445566}, {1, 0, 1, 0xFF, 0, 1, 0, 0xFF}};
}

TBytes Damaged(const std::function<void(TBmpShape&)>& Damage) {
  TBmpShape Shape = SmallShape();
  Damage(Shape);
  return BuildBmp(Shape);
}

TEST(BmpDamage, IsRefusedWithItsReason) {
  // Pixel offset 54 would have the reader take the first 12 bytes of pixels for the masks.
  const TBmpShape NoMasks{40, 1, 1, 16, BI_BITFIELDS, {}, {}, TBytes(16, 0), 0, 54};
  const std::pair<TBytes, const char*> Cases[] = {
      {{}, "ends inside its file header"},
      {{'B', 'A', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "does not start with \"BM\""},
      {Damaged([](auto& S) { S.HeaderSize = 64; }), "unknown size of 64 bytes"},
      {Damaged([](auto& S) { S.Width = -3; }), "width of -3 pixels is not positive"},
      {Damaged([](auto& S) { S.Height = 0; }), "its height is 0"},
      {Damaged([](auto& S) { S.Height = INT32_MIN; }), "height is out of range"},
      {Damaged([](auto& S) { S.BitCount = 2; }), "2 bits per pixel are not supported"},
      {Damaged([](auto& S) { S.Compression = 4; }), "compression 4 is not supported"},
      {Damaged([](auto& S) { S.Compression = BI_RLE4; }), "compression 2 does not go with 8 bits"},
      {RleFile(8, 4, -3, {0, 1}), "run-length compressed rows are stored top-down"},
      {RleFile(8, 65536, 4097, {0, 1}), "65536 x 4097 pixels are too many"},
      {MaskedPixel(16, {0x0F0F, 0xF0, 0xF}, 0), "red mask 0x00000F0F is not one run"},
      {MaskedPixel(16, {1, 2, 0x1F0000}, 0), "blue mask 0x001F0000 does not fit in 16"},
      {BuildBmp(NoMasks), "offset 54 points inside its headers, which end at 66"},
      {Damaged([](auto& S) { S.PixelOffset = 71; }), "offset 71 lies beyond the end of the file"},
      {Damaged([](auto& S) { S.Width = INT32_MAX, S.Height = -(1 << 20), S.BitCount = 1; }),
       "ends inside its pixels"},
      {RleFile(8, 3, 1, {2, 1, 0, 1}, 2), "ends before its end-of-bitmap"}, // by biSizeImage
  };
  for (const auto& [Bytes, Reason] : Cases)
    ExpectInvalid(Bytes, Reason);
}

// Every cut raises, except those that drop only run-length codes adding nothing to the image.
TEST(BmpDamage, EveryTruncationIsRefused) {
  const TBytes Rle8 =
      ReadFileBytes("tests/data/bmp/info_rle8.bmp"); // ends: run past the edge, EOL, EOB
  const std::tuple<TBytes, std::vector<size_t>> Cases[] = {
      {ReadFileBytes("tests/data/bmp/core_4.bmp"), {}},
      {MaskedPixel(16, {0xF800, 0x07E0, 0x001F}, 1), {}},
      {ReadFileBytes("tests/data/bmp/v5_565.bmp"), {}},
      {Rle8, {Rle8.size() - 6, Rle8.size() - 4, Rle8.size() - 2}},
      {RleFile(4, 5, 2, {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}), {}},
  };
  for (const auto& [File, WholeCuts] : Cases) {
    const std::vector<TRgb> Whole = PictureOf(ReadBytes(File));
    for (size_t Length = 0; Length < File.size(); ++Length) {
      SCOPED_TRACE(testing::Message() << File.size() << " bytes cut to " << Length);
      const TBytes Cut(File.begin(), File.begin() + ptrdiff_t(Length));
      if (std::count(WholeCuts.begin(), WholeCuts.end(), Length) != 0)
        EXPECT_EQ(PictureOf(ReadBytes(Cut)), Whole);
      else
        ExpectInvalid(Cut, "");
    }
  }
}

// ---- Streams

// The stream's own errors pass through; one that delivers less than its size is a cut file.
TEST(BmpStreams, StreamErrorsPassThroughAndShrinkingStreamsAreCutFiles) {
  TFileStream Folder("tests/data/bmp", fmOpenRead); // whose reads fail
  EXPECT_THROW(ReadBitmapFile(Folder), EReadError);
  const TBytes File = BuildBmp(SmallShape());
  TTrickleStream Shrinking(3, int64_t(File.size()) - 1);
  EXPECT_THROW(ReadBitmapFile(FillStream(Shrinking, File)), EInvalidGraphic);
}

// ---- Writing (the bitmap class's tests read back every depth written)

TEST(BmpWrite, HeadersDescribeABottomUpFileAt72Dpi) {
  TMemoryStream Stream;
  const TBitmapFileImage Image = ReadBytes(BuildBmp(SmallShape()));
  WriteBitmapFile(Stream, Image);
  const TBytes File = StreamBytes(Stream);
  ASSERT_EQ(File.size(), 14u + 40 + 1024 + 2 * 4);
  const std::pair<size_t, uint32_t> Fields[] = {
      {2, 1086}, {6, 0},  {10, 1078}, {14, 40},   {18, 3}, {22, 2}, {26, 1 | 8 << 16},
      {30, 0},   {34, 8}, {38, 2835}, {42, 2835}, {46, 0}, {50, 0}, {58, 0x445566}};
  for (const auto& [At, Value] : Fields)
    EXPECT_EQ(U32At(File, At), Value) << "at " << At;
  EXPECT_EQ(TBytes(File.begin() + 1078, File.end()), (TBytes{1, 0, 1, 0, 0, 1, 0, 0}));
  TTrickleStream Full(7, INT64_MAX, 100);
  EXPECT_THROW(WriteBitmapFile(Full, Image), EWriteError);
}

} // namespace
