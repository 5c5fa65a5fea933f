#include "png/pngimage.h"
#include "png/pngunfilter.h"
#include "tests/png/png_builder.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

namespace {

// Splits compressed data over IDAT chunks of the given sizes (the last takes the rest).
TBytes SplitImage(const TBytes& Header, const TBytes& Compressed, std::vector<size_t> Sizes) {
  TPngBuilder Builder;
  Builder.Chunk("IHDR", Header);
  size_t At = 0;
  for (const size_t Size : Sizes) {
    Builder.Chunk("IDAT", TBytes(Compressed.begin() + static_cast<long>(At),
                                 Compressed.begin() + static_cast<long>(At + Size)));
    At += Size;
  }
  Builder.Chunk("IDAT", TBytes(Compressed.begin() + static_cast<long>(At), Compressed.end()));
  return Builder.End().Bytes();
}

// A 16 x 8 RGB image with rows of every filter type.
TBytes FilteredRows() {
  TBytes Raw;
  for (int Row = 0; Row < 8; ++Row) {
    Raw.push_back(static_cast<uint8_t>(Row % 5));
    for (int i = 0; i < 48; ++i)
      Raw.push_back(static_cast<uint8_t>(Row * 31 + i * 7));
  }
  return Raw;
}

TBytes PixelsOf(const TPNGObject& Image) {
  const TChunkIHDR& H = Image.Header();
  TBytes Bytes;
  for (uint32_t Y = 0; Y < H.Height; ++Y)
    Bytes.insert(Bytes.end(), H.ImageRow(Y), H.ImageRow(Y) + H.RowStride);
  return Bytes;
}

TEST(ImageData, SplitOverChunksDecodesAsInOne) {
  const TBytes Header = HeaderBody(16, 8, 8, 2);
  const TBytes Compressed = Compress(FilteredRows());
  TPNGObject Whole, Split;
  LoadBytes(Whole, SplitImage(Header, Compressed, {}));
  LoadBytes(Split, SplitImage(Header, Compressed, {1, 10}));
  EXPECT_EQ(PixelsOf(Split), PixelsOf(Whole));
  EXPECT_EQ(Split.ChunkList.Count(), 3);
}

TEST(ImageData, ABadCrcInAMiddleChunkRaises) {
  TBytes File = SplitImage(HeaderBody(16, 8, 8, 2), Compress(FilteredRows()), {1, 10});
  // The second IDAT's CRC: signature, IHDR (25), first IDAT (13), then 12 + 10 bytes.
  File[8 + 25 + 13 + 8 + 10] ^= 0x40;
  TPNGObject Image;
  EXPECT_THROW(LoadBytes(Image, File), EPngInvalidCRC);
}

TEST(ImageData, DataThatNeedsAnotherChunkBeforeTheEndIsMissingParts) {
  const TBytes Compressed = Compress(FilteredRows());
  const TBytes File = TPngBuilder()
                          .Chunk("IHDR", HeaderBody(16, 8, 8, 2))
                          .Chunk("IDAT", TBytes(Compressed.begin(), Compressed.begin() + 20))
                          .End()
                          .Bytes();
  TPNGObject Image;
  try {
    LoadBytes(Image, File);
    FAIL() << "loaded";
  } catch (const EPNGMissingMultipleIDAT& Error) {
    EXPECT_EQ(Error.Message(), PngMessage(MsgMissingIDAT));
  }
}

TEST(ImageData, AFollowingFrameThatCannotBeReadIsAnUnexpectedEnd) {
  const TBytes Compressed = Compress(FilteredRows());
  const TBytes Start(Compressed.begin(), Compressed.begin() + 20);
  const TBytes TopBit{0x80, 0, 0, 0, 'I', 'D', 'A', 'T', 0, 0, 0, 0};
  for (const TBytes& After : {TopBit, TBytes{0, 0}, TBytes{0, 0, 0, 50, 'I', 'D', 'A', 'T', 1}}) {
    TPNGObject Image;
    EXPECT_THROW(LoadBytes(Image, TPngBuilder().Chunk("IHDR", HeaderBody(16, 8, 8, 2)).Chunk("IDAT", Start).Raw(After).Bytes()),
                 EPngUnexpectedEnd);
  }
}

// A preset dictionary cannot be had: as written, this made the reader spin for ever.
TEST(ImageData, DataAskingForADictionaryIsAZlibError) {
  TPNGObject Image;
  try {
    LoadBytes(Image, TPngBuilder().Header(1, 1, 8, 0).Chunk("IDAT", {0x78, 0xBB, 0, 0, 0, 0, 0}).End().Bytes());
    FAIL() << "loaded";
  } catch (const EPNGZLIBError& Error) {
    EXPECT_EQ(Error.Message(), PngMessage(MsgZlibError) + "need dictionary (2)");
  }
}

TEST(ImageData, DamagedDataIsAZlibErrorWithItsCode) {
  TPNGObject Image;
  try {
    LoadBytes(Image, TPngBuilder().Header(1, 1, 8, 0).Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF}).End().Bytes());
    FAIL() << "loaded";
  } catch (const EPNGZLIBError& Error) {
    EXPECT_EQ(Error.Message(), PngMessage(MsgZlibError) + "data error (-3)");
  }
}

// Rows the data ends before stay zero; the rest of the body still counts for its CRC.
TEST(ImageData, AStreamThatEndsEarlyLeavesTheRestZero) {
  TBytes Raw{0, 9, 9, 9, 0, 8, 8, 8};
  TBytes Compressed = Compress(Raw);
  TPNGObject Image;
  TMemoryStream Stream;
  LoadBytes(Image, TPngBuilder().Header(3, 4, 8, 0).Chunk("IDAT", Compressed).End().Bytes(), &Stream);
  EXPECT_EQ(Image.Header().ImageRow(1)[2], 8);
  EXPECT_EQ(Image.Header().ImageRow(2)[0], 0);
  EXPECT_EQ(Image.Header().ImageRow(3)[2], 0);
  EXPECT_EQ(Stream.GetPosition(), Stream.GetSize());
}

// The row buffers start zeroed: a row cut short holds zeros after the bytes that came.
TEST(ImageData, ARowCutShortIsCompletedWithZeros) {
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder().Header(4, 1, 8, 0).Data({0, 7, 9}).End().Bytes());
  EXPECT_EQ(TBytes(Image.Header().ImageRow(0), Image.Header().ImageRow(0) + 4), (TBytes{7, 9, 0, 0}));
}

// Also past the first two rows, where the row buffers hold earlier rows: the bytes that never
// came are zeros, not what an earlier row left (grey goes through row batches, RGB row by row).
TEST(ImageData, ALaterRowCutShortIsCompletedWithZeros) {
  for (const uint8_t ColorType : {uint8_t{0}, uint8_t{2}}) {
    const uint32_t Width = ColorType == 0 ? 6 : 2;
    TBytes Raw;
    for (int Row = 0; Row < 2; ++Row) {
      Raw.push_back(0);
      Raw.insert(Raw.end(), 6, static_cast<uint8_t>(50 + Row));
    }
    Raw.insert(Raw.end(), {0, 7});
    TPNGObject Image;
    LoadBytes(Image, TPngBuilder().Header(Width, 3, 8, ColorType).Data(Raw).End().Bytes());
    const TBytes Expected = ColorType == 0 ? TBytes{7, 0, 0, 0, 0, 0} : TBytes{0, 0, 7, 0, 0, 0};
    EXPECT_EQ(TBytes(Image.Header().ImageRow(2), Image.Header().ImageRow(2) + 6), Expected)
        << "colour type " << int{ColorType};
  }
}

// Grey rows of one-byte pixels go through batches and, after a batch without Average or Paeth
// rows, straight into the image; short rows are inflated ahead several at a time instead. Every
// way between batches and straight rows, the last row (the first byte of the image memory) taken
// either way, read-ahead over several refills, and data ending inside a row, against the rows
// undone one by one by the definition.
TEST(ImageData, BatchedAndStraightRowsMatchTheDefinition) {
  const auto Run = [](uint8_t Type, size_t Count) { return std::vector<uint8_t>(Count, Type); };
  const auto Join = [](std::initializer_list<std::vector<uint8_t>> Parts) {
    std::vector<uint8_t> All;
    for (const std::vector<uint8_t>& Part : Parts)
      All.insert(All.end(), Part.begin(), Part.end());
    return All;
  };
  const std::vector<std::vector<uint8_t>> Sequences = {
      Run(0, 40),
      Join({Run(1, 15), {0, 1, 2, 3}, Run(2, 14), {4}, Run(2, 15), {1, 0, 2}}),
      Join({Run(2, 15), Run(0, 5), {4}}),
      Join({Run(3, 15), Run(1, 15), {7, 0}}),
      Join({Run(0, 100), Run(1, 100), Run(2, 100), Run(3, 100), Run(4, 100)}),
  };
  std::mt19937 Generator(5);
  for (const uint32_t Width : {37u, 1101u})
    for (const std::vector<uint8_t>& Types : Sequences)
      for (const size_t Cut : {size_t{0}, size_t{20}}) {
        TBytes Raw;
        for (const uint8_t Type : Types) {
          Raw.push_back(Type);
          const TBytes Row = RandomBytes(Generator, Width);
          Raw.insert(Raw.end(), Row.begin(), Row.end());
        }
        // The bytes that never came count as zeros before the row is undone.
        TBytes Completed = Raw, Expected, Above(Width, 0);
        std::fill(Completed.end() - static_cast<long>(Cut), Completed.end(), uint8_t{0});
        Raw.resize(Raw.size() - Cut);
        for (size_t At = 0; At < Completed.size(); At += Width + 1) {
          TBytes Row(Completed.begin() + static_cast<long>(At + 1),
                     Completed.begin() + static_cast<long>(At + 1 + Width));
          UnfilterRowPlain(Completed[At], 1, Row.data(), Above.data(), Width);
          Expected.insert(Expected.end(), Row.begin(), Row.end());
          Above = Row;
        }
        const auto Height = static_cast<uint32_t>(Types.size());
        TPNGObject Image;
        LoadBytes(Image, TPngBuilder().Header(Width, Height, 8, 0).Data(Raw).End().Bytes());
        TBytes Decoded;
        for (uint32_t Y = 0; Y < Height; ++Y)
          Decoded.insert(Decoded.end(), Image.Header().ImageRow(Y),
                         Image.Header().ImageRow(Y) + Width);
        // A row inflated straight into the image borrows the byte before it, in the padding of the
        // row below: every row's padding must still be zeros.
        const uint32_t Stride = Image.Header().RowStride;
        for (uint32_t Y = 0; Y < Height; ++Y)
          EXPECT_EQ(TBytes(Image.Header().ImageRow(Y) + Width, Image.Header().ImageRow(Y) + Stride),
                    TBytes(Stride - Width, 0));
        ASSERT_EQ(Decoded, Expected)
            << Width << " wide, " << Types.size() << " rows, " << Cut << " bytes cut";
      }
}

// A straight row borrows the byte before it for its filter byte; damaged data inside the row
// must not leave that byte behind in the image memory, which is kept after the error.
TEST(ImageData, DamageInsideAStraightRowLeavesNoByteBehind) {
  constexpr uint32_t Width = 1101, Rows = 20, Good = 17;
  TBytes Raw;
  for (uint32_t Row = 0; Row < Good; ++Row) {
    Raw.push_back(0);
    Raw.insert(Raw.end(), Width, static_cast<uint8_t>(Row));
  }
  Raw.insert(Raw.end(), {2, 5, 5, 5});
  z_stream Z{};
  ASSERT_EQ(deflateInit(&Z, 6), Z_OK);
  TBytes Compressed(compressBound(static_cast<uLong>(Raw.size())) + 16);
  Z.next_in = Raw.data();
  Z.avail_in = static_cast<uInt>(Raw.size());
  Z.next_out = Compressed.data();
  Z.avail_out = static_cast<uInt>(Compressed.size());
  ASSERT_EQ(deflate(&Z, Z_SYNC_FLUSH), Z_OK);
  Compressed.resize(Compressed.size() - Z.avail_out);
  deflateEnd(&Z);
  Compressed.push_back(0x07); // a last block of the reserved type
  TPNGObject Image;
  EXPECT_THROW(
      LoadBytes(Image,
                TPngBuilder().Header(Width, Rows, 8, 0).Chunk("IDAT", Compressed).End().Bytes()),
      EPNGZLIBError);
  ASSERT_NE(Image.Header().PixelBase, nullptr);
  EXPECT_EQ(Image.Header().ImageRow(Good)[2], 5); // the row was on its way straight in
  const uint32_t Stride = Image.Header().RowStride;
  for (uint32_t Y = 0; Y < Rows; ++Y)
    EXPECT_EQ(TBytes(Image.Header().ImageRow(Y) + Width, Image.Header().ImageRow(Y) + Stride),
              TBytes(Stride - Width, 0))
        << "row " << Y;
}

// Short rows are read ahead, but never past the image's own bytes: compressed data after the
// last row is left as it always was, unread, so a checksum there that is wrong does not count.
TEST(ImageData, ShortRowsAreNotReadAheadPastTheImage) {
  for (const uint8_t Interlace : {0, 1}) {
    TBytes Compressed = Compress(TBytes(3 * 9 * 10, 0));
    Compressed.back() ^= 1;
    TPNGObject Image;
    EXPECT_NO_THROW(LoadBytes(
        Image,
        TPngBuilder().Header(8, 1, 8, 0, Interlace).Chunk("IDAT", Compressed).End().Bytes()));
  }
}

TEST(ImageData, ABodyNeverReadStillHasItsCrcChecked) {
  for (const uint8_t Interlace : {0, 1}) {
    const TBytes Good = TPngBuilder().Header(5, 0, 8, 0, Interlace).Chunk("IDAT", TBytes(70000, 1)).End().Bytes();
    TPNGObject Image;
    EXPECT_NO_THROW(LoadBytes(Image, Good));
    TBytes Bad = Good;
    Bad[8 + 25 + 8 + 70000] ^= 1;
    EXPECT_THROW(LoadBytes(Image, Bad), EPngInvalidCRC);
  }
}

TEST(ImageData, AFilterTypeAboveFourLeavesTheRowAsItIs) {
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder().Header(3, 1, 8, 0).Data({7, 1, 2, 3}).End().Bytes());
  EXPECT_EQ(TBytes(Image.Header().ImageRow(0), Image.Header().ImageRow(0) + 3), (TBytes{1, 2, 3}));
}

TEST(Filters, PaethFollowsTheStandardsTies) {
  EXPECT_EQ(PaethPredictor(10, 20, 15), 15);
  EXPECT_EQ(PaethPredictor(10, 10, 10), 10);
  EXPECT_EQ(PaethPredictor(0, 200, 0), 200);
  EXPECT_EQ(PaethPredictor(200, 0, 0), 200);
}

// Each filter undone against a previous row of known bytes: grey 8-bit, 4 pixels.
TEST(Filters, EachTypeIsUndoneExactly) {
  const TBytes First{0, 10, 20, 30, 40};
  const std::pair<TBytes, TBytes> Cases[] = {
      {{1, 5, 5, 5, 5}, {5, 10, 15, 20}},
      {{2, 1, 1, 1, 1}, {11, 21, 31, 41}},
      {{3, 1, 1, 1, 1}, {6, 14, 23, 32}},
      {{4, 1, 1, 1, 1}, {11, 21, 31, 41}},
  };
  for (const auto& [Second, Expected] : Cases) {
    TBytes Raw = First;
    Raw.insert(Raw.end(), Second.begin(), Second.end());
    TPNGObject Image;
    LoadBytes(Image, TPngBuilder().Header(4, 2, 8, 0).Data(Raw).End().Bytes());
    EXPECT_EQ(TBytes(Image.Header().ImageRow(1), Image.Header().ImageRow(1) + 4), Expected)
        << int{Second[0]};
  }
}

TEST(Adam7, NarrowImagesDecodeOnlyTheirPasses) {
  // Width 1, height 2: passes 0 (row 0) and 6 (row 1); passes with no columns give no rows.
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder().Header(1, 2, 8, 0, 1).Data({0, 7, 0, 9}).End().Bytes());
  EXPECT_EQ(Image.Header().ImageRow(0)[0], 7);
  EXPECT_EQ(Image.Header().ImageRow(1)[0], 9);
  TPNGObject Single;
  LoadBytes(Single, TPngBuilder().Header(1, 1, 8, 0, 1).Data({2, 5}).End().Bytes());
  EXPECT_EQ(Single.Header().ImageRow(0)[0], 5);
}

// The first row of a pass sees an all-zero previous row, whatever the last pass left.
TEST(Adam7, EveryPassStartsFromAZeroRow) {
  // 2 x 1: pass 0 holds column 0, pass 5 column 1; both rows filtered with Up.
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder().Header(2, 1, 8, 0, 1).Data({2, 40, 2, 50}).End().Bytes());
  EXPECT_EQ(TBytes(Image.Header().ImageRow(0), Image.Header().ImageRow(0) + 2), (TBytes{40, 50}));
}

TEST(RowDecoders, TwoBitGreyLandsOnTheRampsFullRange) {
  TPNGObject Grey, Palette;
  LoadBytes(Grey, TPngBuilder().Header(4, 1, 2, 0).Data({0, 0b11100100}).End().Bytes());
  EXPECT_EQ(Grey.Header().ImageRow(0)[0], 0xFA);
  EXPECT_EQ(Grey.Header().ImageRow(0)[1], 0x50);
  EXPECT_EQ(Grey.Header().DibInfo.bmiColors[5].rgbRed, 85);
  EXPECT_EQ(Grey.Header().DibInfo.bmiColors[15].rgbRed, 255);
  LoadBytes(Palette, TPngBuilder().Header(4, 1, 2, 3).Chunk("PLTE", TBytes(12, 1)).Data({0, 0b11100100}).End().Bytes());
  EXPECT_EQ(Palette.Header().ImageRow(0)[0], 0x32);
  EXPECT_EQ(Palette.Header().ImageRow(0)[1], 0x10);
}

TEST(RowDecoders, SixteenBitSamplesKeepTheirHighBytes) {
  TPNGObject Rgb, GreyAlpha;
  LoadBytes(Rgb, TPngBuilder().Header(1, 1, 16, 2).Data({0, 0x12, 0x99, 0x34, 0x98, 0x56, 0x97}).End().Bytes());
  EXPECT_EQ(TBytes(Rgb.Header().ImageRow(0), Rgb.Header().ImageRow(0) + 3), (TBytes{0x56, 0x34, 0x12}));
  LoadBytes(GreyAlpha, TPngBuilder().Header(1, 1, 16, 4).Data({0, 0x80, 0x01, 0xFF, 0x00}).End().Bytes());
  EXPECT_EQ(GreyAlpha.Header().ImageRow(0)[0], 0x80);
  EXPECT_EQ(GreyAlpha.Header().AlphaRow(0)[0], 0xFF);
}

// Pass 0 of a 9-pixel 1-bit image holds columns 0 and 8; the byte's other samples are beyond
// the width.
TEST(RowDecoders, PackedPassSamplesLandAtTheirColumnsOnly) {
  // Passes 0, 1, 3 and 5 have columns in row 0; the others have no rows.
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder().Header(9, 1, 1, 0, 1).Data({0, 0xFF, 0, 0x00, 0, 0x00, 0, 0x00}).End().Bytes());
  const uint8_t* Row = Image.Header().ImageRow(0);
  EXPECT_EQ(Row[0], 0x80);
  EXPECT_EQ(Row[1], 0x80);
  EXPECT_EQ(Row[2], 0x00);
}

TEST(RowDecoders, AFourBitPassRowPlacesItsOneColumn) {
  // 5 x 1: pass 1 holds column 4 alone.
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder().Header(5, 1, 4, 0, 1).Data({0, 0x30, 0, 0xAB, 0, 0x00, 0, 0x00}).End().Bytes());
  const uint8_t* Row = Image.Header().ImageRow(0);
  EXPECT_EQ(Row[0] >> 4, 3);
  EXPECT_EQ(Row[2], 0xA0);
}

TEST(GreyRamp, FollowsTheDepth) {
  TPNGObject Four, One;
  LoadBytes(Four, TPngBuilder().Header(1, 1, 4, 0).Data({0, 0}).End().Bytes());
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(Four.Header().DibInfo.bmiColors[i].rgbBlue, 17 * i);
  LoadBytes(One, TPngBuilder().Header(1, 1, 1, 0).Data({0, 0}).End().Bytes());
  EXPECT_EQ(One.Header().DibInfo.bmiColors[1].rgbGreen, 255);
  EXPECT_EQ(One.Header().DibInfo.bmiColors[2].rgbGreen, 0);
}

} // namespace
