#include "png/pngimage.h"
#include "png/pngunfilter.h"
#include "tests/png/png_builder.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

namespace {

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

// Image data that cannot be read to its end: each case raises its class with its text.
TEST(ImageData, DamageRaisesItsClassAndText) {
  const TBytes Compressed = Compress(FilteredRows());
  const auto Started = [&](size_t Size) {
    return TPngBuilder()
        .Chunk("IHDR", HeaderBody(16, 8, 8, 2))
        .Chunk("IDAT", TBytes(Compressed.begin(), Compressed.begin() + static_cast<long>(Size)));
  };
  const auto OnePixel = [](const TBytes& Data) {
    return TPngBuilder().Header(1, 1, 8, 0).Chunk("IDAT", Data).End().Bytes();
  };
  const TBytes BadMiddleCrc = Started(20)
                                  .Chunk("IDAT", {Compressed.begin() + 20, Compressed.end()})
                                  .BreakLastCrc()
                                  .End()
                                  .Bytes();
  const std::string End = PngMessage(MsgUnexpectedEnd), Zlib = PngMessage(MsgZlibError);
  const std::tuple<TBytes, const std::type_info&, std::string> Cases[] = {
      {Started(20).End().Bytes(), typeid(EPNGMissingMultipleIDAT), PngMessage(MsgMissingIDAT)},
      {Started(20).Raw({0x80, 0, 0, 0, 'I', 'D', 'A', 'T', 0, 0, 0, 0}).Bytes(),
       typeid(EPngUnexpectedEnd), End},
      {Started(20).Raw({0, 0}).Bytes(), typeid(EPngUnexpectedEnd), End},
      {Started(20).Raw({0, 0, 0, 50, 'I', 'D', 'A', 'T', 1}).Bytes(), typeid(EPngUnexpectedEnd),
       End},
      {BadMiddleCrc, typeid(EPngInvalidCRC), PngMessage(MsgInvalidCRC)},
      // A preset dictionary cannot be had: as written, this made the reader spin for ever.
      {OnePixel({0x78, 0xBB, 0, 0, 0, 0, 0}), typeid(EPNGZLIBError), Zlib + "need dictionary (2)"},
      {OnePixel({0x78, 0x9C, 0xFF, 0xFF}), typeid(EPNGZLIBError), Zlib + "data error (-3)"}};
  for (const auto& [File, Class, Message] : Cases)
    ExpectRejected(File, Class, Message);
}

// Rows the data ends before stay zero; the rest of the body still counts for its CRC.
TEST(ImageData, AStreamThatEndsEarlyLeavesTheRestZero) {
  TBytes Raw{0, 9, 9, 9, 0, 8, 8, 8};
  TBytes Compressed = Compress(Raw);
  TPNGObject Image;
  TMemoryStream Stream;
  LoadBytes(Image, TPngBuilder().Header(3, 4, 8, 0).Chunk("IDAT", Compressed).End().Bytes(),
            &Stream);
  EXPECT_EQ(Image.Header().ImageRow(1)[2], 8);
  EXPECT_EQ(Image.Header().ImageRow(2)[0], 0);
  EXPECT_EQ(Image.Header().ImageRow(3)[2], 0);
  EXPECT_EQ(Stream.GetPosition(), Stream.GetSize());
}

// A row cut short holds zeros after the bytes that came, also past the first two rows, where the
// row buffers hold earlier rows (grey goes through batches of fifteen rows, RGB through pairs).
TEST(ImageData, ARowCutShortIsCompletedWithZeros) {
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

// Grey rows of one-byte pixels are undone in batches of fifteen: full and partial batches of
// every filter mixture, an unknown filter among them, and data ending inside a row, against the
// rows undone one by one by the definition.
TEST(ImageData, BatchedRowsMatchTheDefinition) {
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
        // No row is written past its width: every row's padding must still be zeros.
        const uint32_t Stride = Image.Header().RowStride;
        for (uint32_t Y = 0; Y < Height; ++Y)
          EXPECT_EQ(TBytes(Image.Header().ImageRow(Y) + Width, Image.Header().ImageRow(Y) + Stride),
                    TBytes(Stride - Width, 0));
        ASSERT_EQ(Decoded, Expected)
            << Width << " wide, " << Types.size() << " rows, " << Cut << " bytes cut";
      }
}

// Compressed data after the last row is left unread, so a checksum there that is wrong does not
// count.
TEST(ImageData, TheCheckValueAfterTheLastRowIsNotRead) {
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
    const TBytes Good =
        TPngBuilder().Header(5, 0, 8, 0, Interlace).Chunk("IDAT", TBytes(70000, 1)).End().Bytes();
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

} // namespace
