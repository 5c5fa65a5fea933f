// The image-data reader on ISA-L against the same reader on zlib, its plain twin: over sound and
// damaged image data, split into chunks of every size, both must end alike, with the same
// exception class and text and the same image memory.
#include "png/pnginflater.h"
#include "tests/png/png_builder.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <typeinfo>

namespace {

// Selects an inflater for the test's span, restoring the one in use before.
class TInflaterChoice {
public:
  TInflaterChoice() : Kept(ImageInflaterInUse()) {}
  ~TInflaterChoice() { UseImageInflater(Kept); }
  TInflaterChoice(const TInflaterChoice&) = delete;
  TInflaterChoice& operator=(const TInflaterChoice&) = delete;

private:
  TImageInflaterKind Kept;
};

// How a load ended: the exception's class and text ("" when it loaded), and the image memory
// as the reader left it.
struct TOutcome {
  std::string Failure;
  TBytes Pixels;
  TBytes Alpha;
};

TOutcome LoadWith(TImageInflaterKind Kind, const TBytes& File) {
  UseImageInflater(Kind);
  TOutcome Outcome;
  TPNGObject Image;
  try {
    LoadBytes(Image, File);
  } catch (const Exception& Error) {
    Outcome.Failure = std::string(typeid(Error).name()) + ": " + Error.Message();
  }
  const TChunkIHDR& Header = Image.Header();
  if (Header.PixelBase != nullptr)
    Outcome.Pixels.assign(Header.PixelBase,
                          Header.PixelBase + static_cast<size_t>(Header.RowStride) * Header.Height);
  if (Header.AlphaPlane != nullptr)
    Outcome.Alpha.assign(Header.AlphaPlane,
                         Header.AlphaPlane + size_t{Header.Width} * Header.Height);
  return Outcome;
}

// Filtered rows of every type over noisy ramps: long matches and literals both.
TBytes FilteredRows(std::mt19937& Generator, uint32_t RowBytes, uint32_t Rows) {
  TBytes Raw;
  for (uint32_t Row = 0; Row < Rows; ++Row) {
    Raw.push_back(static_cast<uint8_t>(Row % 5));
    for (uint32_t i = 0; i < RowBytes; ++i)
      Raw.push_back(static_cast<uint8_t>(i / 7 + Row + (Generator() % 4 == 0 ? Generator() : 0)));
  }
  return Raw;
}

TBytes Deflated(const TBytes& Raw, int Level, int WindowBits) {
  z_stream Z{};
  EXPECT_EQ(deflateInit2(&Z, Level, Z_DEFLATED, WindowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
  TBytes Out(deflateBound(&Z, static_cast<uLong>(Raw.size())));
  Z.next_in = const_cast<Bytef*>(Raw.data());
  Z.avail_in = static_cast<uInt>(Raw.size());
  Z.next_out = Out.data();
  Z.avail_out = static_cast<uInt>(Out.size());
  EXPECT_EQ(deflate(&Z, Z_FINISH), Z_STREAM_END);
  Out.resize(Z.total_out);
  deflateEnd(&Z);
  return Out;
}

// The stream with its zlib header claiming another window size, its check bits made right.
TBytes WithWindowField(TBytes Stream, uint8_t Field) {
  Stream[0] = static_cast<uint8_t>(Field << 4 | 8);
  Stream[1] &= 0xE0;
  Stream[1] = static_cast<uint8_t>(Stream[1] + (31 - (Stream[0] * 256 + Stream[1]) % 31) % 31);
  return Stream;
}

// The data in IDAT chunks of ChunkSize bytes each (the last one shorter).
TBytes FileOf(const TBytes& Header, const TBytes& Data, size_t ChunkSize) {
  TPngBuilder Builder;
  Builder.Chunk("IHDR", Header);
  for (size_t At = 0; At < Data.size(); At += ChunkSize)
    Builder.Chunk("IDAT",
                  TBytes(Data.begin() + static_cast<long>(At),
                         Data.begin() + static_cast<long>(std::min(At + ChunkSize, Data.size()))));
  return Builder.End().Bytes();
}

struct TImageCase {
  uint32_t Width, Height;
  uint8_t Depth, ColorType, Interlace;
  // The rows the data holds; for Adam7 about as many bytes as its passes take.
  uint32_t RowBytes, Rows;
};

// Images whose data outgrows ISA-L's staging buffer, and small ones, plain and Adam7.
const TImageCase ImageCases[] = {{400, 160, 8, 2, 0, 1200, 160},
                                 {700, 90, 8, 6, 0, 2800, 90},
                                 {64, 64, 8, 2, 1, 192, 65},
                                 {37, 50, 8, 0, 0, 37, 50},
                                 {97, 3, 1, 0, 0, 13, 3}};

// A stream that fails inside a row raises, and the rows read whole before it are stored, also
// where they wait in a batch for the rows after them (grey side by side, RGB and RGBA in pairs).
TEST(ImageInflater, RowsReadWholeBeforeAFailureAreKept) {
  const TInflaterChoice Restore;
  for (const TImageInflaterKind Kind : {ikZlib, ikIsal}) {
    if (!ImageInflaterAvailable(Kind))
      continue;
    UseImageInflater(Kind);
    for (const uint8_t ColorType : {uint8_t{0}, uint8_t{2}, uint8_t{6}}) {
      // A stored block of the first row and the start of the second, then a block of the
      // reserved type.
      TBytes Stored{0};
      Stored.insert(Stored.end(), ColorType == 0 ? 1 : ColorType == 2 ? 3 : 4, 200);
      Stored.insert(Stored.end(), {0, 100});
      const auto Length = static_cast<uint16_t>(Stored.size());
      TBytes Stream{
          0x78, 0x01, 0x00, static_cast<uint8_t>(Length), 0, static_cast<uint8_t>(~Length), 0xFF};
      Stream.insert(Stream.end(), Stored.begin(), Stored.end());
      Stream.push_back(0x07);
      TPNGObject Image;
      EXPECT_THROW(LoadBytes(Image, FileOf(HeaderBody(1, 2, 8, ColorType), Stream, 1 << 20)),
                   EPNGZLIBError);
      EXPECT_EQ(Image.Header().ImageRow(0)[0], 200) << "colour type " << int{ColorType};
      EXPECT_EQ(Image.Header().ImageRow(1)[0], 0) << "colour type " << int{ColorType};
    }
  }
}

TEST(ImageInflater, IsalEndsEveryStreamAsZlibDoes) {
  if (!ImageInflaterAvailable(ikIsal))
    GTEST_SKIP() << "this build has no ISA-L";
  const TInflaterChoice Restore;
  std::mt19937 Generator(19);
  int Compared = 0;
  for (const TImageCase& Image : ImageCases) {
    const TBytes Raw = FilteredRows(Generator, Image.RowBytes, Image.Rows);
    const TBytes Header =
        HeaderBody(Image.Width, Image.Height, Image.Depth, Image.ColorType, Image.Interlace);
    for (const auto& [Level, WindowBits] : {std::pair{6, 15}, {1, 15}, {9, 10}}) {
      const TBytes Sound = Deflated(Raw, Level, WindowBits);
      std::vector<TBytes> Streams{Sound};
      // Damage: flipped bits through the stream, a cut, a wrong check value.
      for (int Flip = 0; Flip < 24; ++Flip) {
        TBytes Damaged = Sound;
        Damaged[Generator() % Damaged.size()] ^= static_cast<uint8_t>(1u << (Generator() % 8));
        Streams.push_back(Damaged);
      }
      Streams.emplace_back(Sound.begin(), Sound.begin() + static_cast<long>(Sound.size() / 2));
      Streams.push_back(Sound);
      Streams.back().back() ^= 1;
      // Windows of 64 KiB, which zlib refuses, and of 256 bytes, too short for the distances.
      for (const uint8_t WindowField : {uint8_t{8}, uint8_t{0}})
        Streams.push_back(WithWindowField(Sound, WindowField));
      for (const TBytes& Stream : Streams)
        for (const size_t ChunkSize : {size_t{1} << 20, size_t{4093}, size_t{1}}) {
          if (ChunkSize == 1 && Stream.size() > 3000)
            continue;
          const TBytes File = FileOf(Header, Stream, ChunkSize);
          const TOutcome Zlib = LoadWith(ikZlib, File), Isal = LoadWith(ikIsal, File);
          ASSERT_EQ(Isal.Failure, Zlib.Failure) << "case " << Compared;
          ASSERT_EQ(Isal.Pixels, Zlib.Pixels) << "case " << Compared;
          ASSERT_EQ(Isal.Alpha, Zlib.Alpha) << "case " << Compared;
          ++Compared;
        }
    }
  }
  EXPECT_GT(Compared, 400);
}

// ISA-L's inflater driven as the reader drives it, the stream given Piece bytes at a time; the
// bytes it gives until the stream ends or the pieces run out.
TBytes InflateInPieces(const TBytes& Stream, size_t Piece) {
  const std::unique_ptr<TImageInflater> Inflater = NewImageInflater(ikIsal);
  TBytes Inflated;
  std::vector<uint8_t> Room(3000);
  size_t At = 0;
  while (!Inflater->StreamEnded()) {
    if (!Inflater->NeedsInput()) {
      const int32_t Got = Inflater->Inflate(Room.data(), static_cast<int32_t>(Room.size()));
      Inflated.insert(Inflated.end(), Room.begin(), Room.begin() + Got);
      continue;
    }
    if (At == Stream.size())
      break;
    const size_t Count = std::min(Piece, Stream.size() - At);
    std::copy_n(Stream.begin() + static_cast<long>(At), Count, Inflater->InputBuffer());
    Inflater->TakeInput(static_cast<int32_t>(Count));
    At += Count;
  }
  EXPECT_TRUE(Inflater->StreamEnded());
  return Inflated;
}

// ISA-L inflates the bare deflate stream and the zlib wrapper is read around it: a sound stream
// must end in ISA-L, wherever its pieces split the header and the check value (a stream given up
// would only be slower, as zlib reads it again), and a wrong wrapper must be given up.
TEST(ImageInflater, IsalReadsTheZlibWrapperOfEveryStream) {
  if (!ImageInflaterAvailable(ikIsal))
    GTEST_SKIP() << "this build has no ISA-L";
  std::mt19937 Generator(23);
  for (const uint32_t Rows : {0u, 1u, 9u, 200u})
    for (const int Level : {0, 1, 9}) {
      const TBytes Raw = FilteredRows(Generator, 701, Rows);
      const TBytes Sound = Deflated(Raw, Level, 15);
      for (const size_t Piece : {1, 2, 3, 5, 7, 4093, int{ZlibInputBufferSize}})
        ASSERT_EQ(InflateInPieces(Sound, Piece), Raw) << Rows << " rows, pieces of " << Piece;
      for (size_t Byte = 1; Byte <= 4; ++Byte)
        for (const size_t Piece : {1, 3, int{ZlibInputBufferSize}}) {
          TBytes WrongCheck = Sound;
          WrongCheck[WrongCheck.size() - Byte] ^= 0x10;
          EXPECT_THROW(InflateInPieces(WrongCheck, Piece), EInflaterGaveUp);
        }
    }
  const TBytes Sound = Deflated(TBytes(100, 7), 6, 15);
  TBytes BadHeaderCheck = Sound, PresetDictionary = Sound;
  BadHeaderCheck[1] ^= 1;
  PresetDictionary[1] = static_cast<uint8_t>(0x20 + (31 - (0x78 * 256 + 0x20) % 31) % 31);
  for (const TBytes& Stream : {BadHeaderCheck, PresetDictionary})
    EXPECT_THROW(InflateInPieces(Stream, 1), EInflaterGaveUp);
}

} // namespace
