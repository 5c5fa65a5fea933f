#include "png/pngimage.h"
#include "png/pngsegdeflate.h"
#include "png/pngzlib.h"
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"
#include "tests/support/allocation_probe.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>

namespace {

// Rows a little like a photo's after the Sub filter: small differences with noise, so that the
// stream compresses as image data does and every segment finds matches in the one before.
TBytes PhotoLikeBytes(size_t Count, uint32_t Seed) {
  std::mt19937 Generator(Seed);
  TBytes Bytes(Count);
  for (size_t i = 0; i < Count; ++i)
    Bytes[i] = static_cast<uint8_t>(64 * std::sin(static_cast<double>(i % 3071) / 97.0) +
                                    static_cast<double>(Generator() % 9));
  return Bytes;
}

TBytes Segmented(const TBytes& Input, int Level, uint32_t SegmentBytes, unsigned Threads,
                 size_t Piece = 1000) {
  TBytes Stream;
  TSegmentedDeflater Deflater(Level, Input.size(), SegmentBytes, Threads,
                              [&Stream](const uint8_t* Bytes, size_t Count) {
                                Stream.insert(Stream.end(), Bytes, Bytes + Count);
                              });
  for (size_t At = 0; At < Input.size(); At += Piece)
    Deflater.Write(Input.data() + At, std::min(Piece, Input.size() - At));
  Deflater.Finish();
  return Stream;
}

TBytes ZlibCompressed(const TBytes& Input, int Level) {
  uLongf Size = compressBound(static_cast<uLong>(Input.size()));
  TBytes Output(Size);
  EXPECT_EQ(compress2(Output.data(), &Size, Input.data(), static_cast<uLong>(Input.size()), Level),
            Z_OK);
  Output.resize(Size);
  return Output;
}

TBytes Inflated(const TBytes& Stream, size_t Expected) {
  TBytes Output(Expected + 1);
  uLongf Size = static_cast<uLongf>(Output.size());
  EXPECT_EQ(uncompress(Output.data(), &Size, Stream.data(), static_cast<uLong>(Stream.size())),
            Z_OK);
  Output.resize(Size);
  return Output;
}

struct TSegmentCase {
  size_t Total;
  uint32_t SegmentBytes;
};

// Around the one-stream limit of two segments, segments shorter than the 32 KiB window (so the
// dictionary reaches back over several), and a last segment of one byte.
const TSegmentCase SegmentCases[] = {
    {0, 4096},      {1, 4096},       {4095, 4096},          {4096, 4096},
    {4097, 4096},   {8191, 4096},    {8192, 4096},          {8193, 4096},
    {100001, 4096}, {300000, 65536}, {3 * 65536 + 1, 65536}};

// The stream inflates to the input and is the same bytes whatever the threads; below two
// segments it is zlib's own stream, header and check included.
TEST(SegmentedDeflate, IsOneStreamWhateverTheThreads) {
  for (const TSegmentCase& Case : SegmentCases)
    for (const int Level : {0, 1, 6, 7, 9}) {
      const TBytes Input = PhotoLikeBytes(Case.Total, static_cast<uint32_t>(Case.Total));
      const TBytes One = Segmented(Input, Level, Case.SegmentBytes, 1);
      EXPECT_EQ(Inflated(One, Input.size()), Input) << Case.Total << " l" << Level;
      for (const unsigned Threads : {2u, 7u}) {
        EXPECT_EQ(Segmented(Input, Level, Case.SegmentBytes, Threads, 777), One)
            << Case.Total << " l" << Level << " t" << Threads;
      }
      if (Case.Total < 2 * size_t{Case.SegmentBytes}) {
        EXPECT_EQ(One, ZlibCompressed(Input, Level)) << Case.Total << " l" << Level;
      }
    }
}

// Segments cost next to nothing in size: a 512² RGB picture's rows cut into 64 KiB segments
// against zlib's single stream of the same rows.
TEST(SegmentedDeflate, StaysWithinHalfAPercentOfOneStream) {
  const TBytes Rows = PhotoLikeBytes(512 * (512 * 3 + 1), 512);
  for (const int Level : {1, 6, 9}) {
    const double Single = static_cast<double>(ZlibCompressed(Rows, Level).size());
    const double Cut = static_cast<double>(Segmented(Rows, Level, 65536, 2).size());
    EXPECT_LE(Cut / Single, 1.005) << "level " << Level;
  }
}

// More input than the stream was made for, or less, is refused rather than written wrong.
TEST(SegmentedDeflate, RefusesInputOfAnotherLength) {
  const TBytes Input = PhotoLikeBytes(10000, 1);
  for (const size_t Given : {size_t{9999}, size_t{10001}})
    for (const uint32_t SegmentBytes : {4096u, 65536u}) {
      TSegmentedDeflater Deflater(6, Input.size(), SegmentBytes, 2, [](const uint8_t*, size_t) {});
      const TBytes More = PhotoLikeBytes(Given, 1);
      EXPECT_THROW(
          {
            Deflater.Write(More.data(), More.size());
            Deflater.Finish();
          },
          EPNGZLIBError)
          << Given << "/" << SegmentBytes;
    }
}

// Everything a stream needs is made before its first byte is handed on: a failure to get any of
// it raises, hands on nothing and leaves nothing allocated.
TEST(SegmentedDeflate, AFailureToStartHandsOnNothing) {
  const TBytes Input = PhotoLikeBytes(50000, 2);
  const int64_t ZlibBefore = ZlibLiveBlocks();
  const long LiveBefore = LiveAllocations();
  int Failures = 0;
  for (int64_t Nth = 1; Nth < 40; ++Nth) {
    size_t Handed = 0;
    ZlibFailAllocationsFrom(Nth);
    try {
      TSegmentedDeflater Deflater(9, Input.size(), 4096, 3,
                                  [&Handed](const uint8_t*, size_t Count) { Handed += Count; });
      ZlibFailAllocationsFrom(0);
      Deflater.Write(Input.data(), Input.size());
      Deflater.Finish();
    } catch (const EPNGZLIBError& Error) {
      EXPECT_EQ(std::string(Error.what()), PngMessage(MsgZlibError) + "insufficient memory (-4)");
      EXPECT_EQ(Handed, 0u);
      ++Failures;
    }
    ZlibFailAllocationsFrom(0);
    EXPECT_EQ(ZlibLiveBlocks(), ZlibBefore);
    EXPECT_EQ(LiveAllocations(), LiveBefore);
  }
  EXPECT_GE(Failures, 4); // one zlib state of each of the four segments in flight
  EXPECT_THROW(TSegmentedDeflater(10, 100, 4096, 2, [](const uint8_t*, size_t) {}), EPNGZLIBError);
}

// A sink that raises ends the stream on the calling thread; the threads stop with it.
TEST(SegmentedDeflate, ASinkThatRaisesStopsTheThreads) {
  const TBytes Input = PhotoLikeBytes(200000, 3);
  int Calls = 0;
  EXPECT_THROW(
      {
        TSegmentedDeflater Deflater(1, Input.size(), 4096, 4, [&Calls](const uint8_t*, size_t) {
          if (++Calls == 3)
            throw EWriteError("disk full");
        });
        Deflater.Write(Input.data(), Input.size());
        Deflater.Finish();
      },
      EWriteError);
}

struct TPictureCase {
  uint32_t Width, Height;
  uint8_t Depth, ColourType, PixelBytes;
};

void ExpectSameFileOnAnyNumberOfThreads(const TPictureCase& Case) {
  const size_t RowBytes = size_t{Case.Width} * Case.PixelBytes + 1;
  TBytes Raw = PhotoLikeBytes(Case.Height * RowBytes, 4);
  for (size_t At = 0; At < Raw.size(); At += RowBytes)
    Raw[At] = 0;
  const TBytes File = TPngBuilder()
                          .Header(Case.Width, Case.Height, Case.Depth, Case.ColourType)
                          .Data(Raw)
                          .End()
                          .Bytes();
  for (const uint8_t Interlace : {0, 1}) {
    TPNGObject Image;
    LoadBytes(Image, File);
    Image.SetInterlaceKind(Interlace);
    Image.ZlibLevel = 1;
    Image.SetEncodeThreads(1);
    const TBytes One = SavedBytes(Image);
    for (const unsigned Threads : {2u, 7u}) {
      Image.SetEncodeThreads(Threads);
      EXPECT_EQ(SavedBytes(Image), One) << Threads << " threads, interlace " << int{Interlace};
    }
    TPNGObject Back;
    LoadBytes(Back, One);
    EXPECT_EQ(OurPixels(Back), OurPixels(Image));
    EXPECT_EQ(OraclePixels(One, Back.GammaLut), OurPixels(Image));
  }
}

// Pictures of a few segments, through the writer: the same file with one thread or several,
// read back by us and by libpng as the picture; plain and Adam7. Both have a little over 2 MiB
// of rows, three segments; the one four pixels wide has an empty second pass when interlaced.
TEST(SegmentedDeflate, TheWriterWritesTheSameFileOnAnyNumberOfThreads) {
  for (const TPictureCase& Case :
       {TPictureCase{1000, 760, 8, COLOR_RGB, 3}, TPictureCase{4, 65535, 16, COLOR_RGBALPHA, 8}})
    ExpectSameFileOnAnyNumberOfThreads(Case);
}

// The image's own count wins; without one the process-wide count holds, which 0 resets to the
// machine's cores; copies keep the image's own.
TEST(SegmentedDeflate, ThreadSettings) {
  SetDefaultEncodeThreads(3);
  TPNGObject Image;
  EXPECT_EQ(Image.GetEncodeThreads(), 3u);
  Image.SetEncodeThreads(100);
  EXPECT_EQ(Image.GetEncodeThreads(), MaxEncodeThreads);
  Image.SetEncodeThreads(5);
  TPNGObject Copy;
  Copy.CopyFromPNG(Image);
  EXPECT_EQ(Copy.GetEncodeThreads(), 5u);
  SetDefaultEncodeThreads(0);
  EXPECT_EQ(DefaultEncodeThreads(),
            std::clamp(std::thread::hardware_concurrency(), 1u, MaxEncodeThreads));
  Image.SetEncodeThreads(0);
  EXPECT_EQ(Image.GetEncodeThreads(), DefaultEncodeThreads());
}

} // namespace
