#include "png/pngimage.h"
#include "tests/support/allocation_probe.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <random>
#include <tuple>

namespace {

constexpr int64_t FrameHeaderSize = 8;

TBytes RandomBytes(size_t Size, unsigned Seed) {
  std::mt19937 Generator(Seed);
  return ::RandomBytes(Generator, Size);
}

// The whole chunk as a PNG writer lays it out, CRC computed by zlib as an independent oracle.
TBytes FramedChunk(const char* Type, const TBytes& Body) {
  TBytes Chunk;
  const auto Size = static_cast<uint32_t>(Body.size());
  for (int Shift = 24; Shift >= 0; Shift -= 8)
    Chunk.push_back(static_cast<uint8_t>(Size >> Shift));
  Chunk.insert(Chunk.end(), Type, Type + 4);
  Chunk.insert(Chunk.end(), Body.begin(), Body.end());
  const uLong Crc = crc32(0, Chunk.data() + 4, static_cast<uInt>(Chunk.size() - 4));
  for (int Shift = 24; Shift >= 0; Shift -= 8)
    Chunk.push_back(static_cast<uint8_t>(Crc >> Shift));
  return Chunk;
}

// Loads a framed chunk as the stream reader hands it over: stream at the body, type and
// length taken from the frame.
bool LoadFramed(TChunk& Chunk, TMemoryStream& Stream, int32_t Size) {
  Stream.SetPosition(FrameHeaderSize);
  TChunkTag Tag{};
  std::copy_n(Stream.Memory() + 4, 4, Tag.begin());
  return Chunk.LoadChunk(Stream, Tag, Size);
}

// A length with the top bit set, or a body and CRC longer than the stream, is an unexpected end
// that allocates nothing for the claimed body and leaves the chunk's body empty.
// The chunk CRC against zlib's own, over every length up to 300 at every alignment of a word and
// chained across pieces: the fast routine where the build has one, zlib's where not.
TEST(Crc, IsZlibsCrcAtEveryLengthAndAlignment) {
  const TBytes Bytes = RandomBytes(400, 7);
  for (size_t Offset = 0; Offset < 8; ++Offset)
    for (int32_t Length = 0; Length <= 300; ++Length) {
      const uint32_t Expected =
          static_cast<uint32_t>(crc32(0, Bytes.data() + Offset, static_cast<uInt>(Length)));
      const int32_t Half = Length / 2;
      const uint32_t Chained = UpdateCrc32(UpdateCrc32(0xFFFFFFFFu, Bytes.data() + Offset, Half),
                                           Bytes.data() + Offset + Half, Length - Half);
      ASSERT_EQ(~Chained, Expected) << Offset << "+" << Length;
      ASSERT_EQ(~UpdateCrc32(0xFFFFFFFFu, Bytes.data() + Offset, Length), Expected);
    }
}

TEST(FrameRule, RaisesUnexpectedEndBeforeAllocating) {
  const std::tuple<const char*, int32_t, size_t> Cases[] = {
      // name, the length the frame claims, bytes after the frame header that the stream holds
      {"TopBitLength", INT32_MIN, 30},
      {"LengthFFFFFFF4", -12, 30},
      {"BodyLongerThanStream", 100000000, 30},
      {"CrcCutShort", 4, 6},
      {"NoCrcAtAll", 4, 4},
      {"EmptyBodyNoCrc", 0, 2}};
  for (const auto& [Name, Size, Present] : Cases) {
    SCOPED_TRACE(Name);
    TBytes Bytes = FramedChunk("abCD", RandomBytes(Present, 3));
    Bytes.resize(FrameHeaderSize + Present);
    TMemoryStream Stream;
    FillStream(Stream, Bytes);
    TChunk Chunk(nullptr);
    Chunk.ResizeBody(5);
    ResetLargestAllocation();
    const int32_t Claimed = Size;
    EXPECT_EQ(MessageOf<EPngUnexpectedEnd>([&] { LoadFramed(Chunk, Stream, Claimed); }),
              PngMessage(MsgUnexpectedEnd));
    EXPECT_EQ(Chunk.ChunkBodySize(), 0);
    EXPECT_LT(LargestAllocation(), 4096u);
  }
}

// A stream whose size promises more than its reads deliver (a file that shrank): only bytes that
// were read are ever used.
TEST(FrameRule, ShortReadsInsideTheBodyOrCrcAreAnUnexpectedEnd) {
  const TBytes Framed = FramedChunk("abCD", RandomBytes(40, 5));
  for (const int64_t Delivered : {FrameHeaderSize + 10, FrameHeaderSize + 42}) {
    TTrickleStream Stream(7, Delivered);
    FillStream(Stream, Framed);
    Stream.ReadBuffer(TBytes(FrameHeaderSize).data(), FrameHeaderSize);
    TChunk Chunk(nullptr);
    EXPECT_THROW(Chunk.LoadChunk(Stream, ChunkTagOf("abCD"), 40), EPngUnexpectedEnd) << Delivered;
  }
}

TEST(Chunk, AShortWriteIsAWriteError) {
  TChunk Chunk(nullptr);
  Chunk.ChunkTag = ChunkTagOf("abCD");
  Chunk.ResizeBody(100);
  TTrickleStream Full(16, INT64_MAX, 50);
  EXPECT_THROW(Chunk.SaveChunk(Full), EWriteError);
}

TEST(OwnerHeader, IsTheFirstChunkCheckedAsAHeader) {
  TPNGObject Image;
  TChunk Probe(&Image);
  EXPECT_EQ(Probe.OwnerHeader(), nullptr);
  EXPECT_EQ(TChunk(nullptr).OwnerHeader(), nullptr);

  Image.ChunkList.Add(std::make_unique<TChunkIHDR>(&Image));
  EXPECT_EQ(Probe.OwnerHeader(), Image.ChunkList.Item(0));

  Image.Clear();
  Image.ChunkList.Add(std::make_unique<TChunkIEND>(&Image));
  EXPECT_THROW(Probe.OwnerHeader(), EInvalidCast);
}

TEST(ChunkCast, HonoursDescendants) {
  TChunkzTXt Compressed(nullptr);
  TChunk* AsChunk = &Compressed;
  EXPECT_EQ(ChunkCast<TChunktEXt>(AsChunk), &Compressed);
  EXPECT_EQ(ChunkCast<TChunk>(AsChunk), &Compressed);
  EXPECT_EQ(ChunkCast<TChunkzTXt>(static_cast<TChunk*>(nullptr)), nullptr);
  TChunktEXt Text(nullptr);
  EXPECT_THROW(ChunkCast<TChunkzTXt>(static_cast<TChunk*>(&Text)), EInvalidCast);
}

} // namespace
