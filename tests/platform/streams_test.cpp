#include "platform/core/classes.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <numeric>
#include <tuple>

namespace {

TBytes Counting(size_t Size) {
  TBytes Bytes(Size);
  std::iota(Bytes.begin(), Bytes.end(), uint8_t{1});
  return Bytes;
}

// From position 4 of 10 bytes; a seek before the beginning raises and leaves the position.
TEST(MemoryStream, SeeksFromEachOriginButNotBeforeTheBeginning) {
  const std::tuple<int64_t, TSeekOrigin, int64_t> Cases[] = {
      {3, soBeginning, 3}, {-4, soCurrent, 0}, {-2, soEnd, 8}, {5, soEnd, 15}};
  for (const auto& [Offset, Origin, Expected] : Cases) {
    TMemoryStream Stream;
    FillStream(Stream, Counting(10)).SetPosition(4);
    EXPECT_EQ(Stream.Seek(Offset, Origin), Expected) << Offset << " from " << Origin;
    EXPECT_EQ(Stream.GetPosition(), Expected);
  }
  TMemoryStream Stream;
  FillStream(Stream, Counting(4)).SetPosition(2);
  EXPECT_THROW(Stream.Seek(-5, soEnd), EStreamError);
  EXPECT_EQ(Stream.GetPosition(), 2);
}

// Reads end at the end, also from past it; writing past it fills the gap with zeros; shrinking
// pulls the position back.
TEST(MemoryStream, ReadsWhatItHoldsAndNoMore) {
  TMemoryStream Stream;
  FillStream(Stream, Counting(5)).SetPosition(3);
  uint8_t Buffer[8] = {};
  EXPECT_EQ(Stream.Read(Buffer, 8), 2);
  EXPECT_EQ(Stream.Read(Buffer + 2, 6), 0);
  Stream.SetPosition(7);
  EXPECT_EQ(Stream.Read(Buffer + 2, 6), 0);
  EXPECT_EQ(Stream.Write(Buffer, 2), 2);
  EXPECT_EQ(StreamBytes(Stream), (TBytes{1, 2, 3, 4, 5, 0, 0, 4, 5}));
  Stream.SetSize(3);
  EXPECT_EQ(std::pair(Stream.GetSize(), Stream.GetPosition()), std::pair(int64_t{3}, int64_t{3}));
}

// Short counts are gathered; a stream that ends early or fills up raises, naming itself; a copy
// that fails leaves its destination as it was.
TEST(Transfers, GatherShortCountsAndRaiseWhenTheStreamFails) {
  TTrickleStream Source(3, INT64_MAX), Cut(7, 60), Full(2, INT64_MAX, 5);
  TBytes Got(10);
  FillStream(Source, Counting(10)).ReadBuffer(Got.data(), 10);
  EXPECT_EQ(std::pair(Got, Source.ReadCalls()), std::pair(Counting(10), 4));
  EXPECT_PRED2(Contains, MessageOf<EWriteError>([&] { Full.WriteBuffer(Got.data(), 7); }),
               "memory stream took only 5 of 7 bytes");
  FillStream(Cut, Counting(100)).SetPosition(10);
  TMemoryStream Target;
  FillStream(Target, {1, 2, 3}).SetPosition(3);
  EXPECT_EQ(Target.CopyFrom(Cut, 45), 45);
  EXPECT_EQ(Cut.GetPosition(), 55);
  const TBytes Copied = StreamBytes(Target);
  EXPECT_PRED2(Contains, MessageOf<EReadError>([&] { Target.CopyFrom(Cut, 20); }),
               "memory stream"); // which gives only 15 more
  EXPECT_EQ(StreamBytes(Target), Copied);
  EXPECT_EQ(Target.GetPosition(), 48);
}

// Written through the copy buffer, read back from its end; a file opened to read
// refuses writes; errors name the file.
TEST(FileStream, WritesAndReadsAFileAndNamesItInErrors) {
  TScratchDir Dir;
  TMemoryStream Source;
  FillStream(Source, Counting(3000));
  TFileStream File(Dir.PathOf("copy"), fmCreate);
  EXPECT_EQ(File.CopyFrom(Source, 3000), 3000);
  TFileStream Back(Dir.PathOf("copy"), fmOpenRead);
  EXPECT_EQ(Back.Seek(-5, soEnd), 2995);
  uint8_t Byte = 0;
  Back.ReadBuffer(&Byte, 1);
  EXPECT_EQ(Byte, Counting(3000)[2995]);
  EXPECT_PRED2(Contains, MessageOf<EWriteError>([&] { Back.WriteBuffer(&Byte, 1); }),
               "file \"" + Dir.PathOf("copy") + "\"");
  EXPECT_EQ(MessageOf<EFOpenError>([] { TFileStream("/nonexistent/dir/x.vqz", fmOpenRead); }),
            "Cannot open file \"/nonexistent/dir/x.vqz\". No such file or directory");
  EXPECT_THROW(TFileStream("/nonexistent/dir/x.png", fmCreate), EFCreateError);
}

} // namespace
