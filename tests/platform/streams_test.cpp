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

TEST(MemoryStream, SeeksFromEachOriginButNotBeforeTheBeginning) {
  const std::tuple<int64_t, TSeekOrigin, int64_t> Cases[] = {{3, soBeginning, 3}, {3, soCurrent, 7},
                                                             {-4, soCurrent, 0},  {-2, soEnd, 8},
                                                             {5, soEnd, 15},      {0, soEnd, 10}};
  for (const auto& [Offset, Origin, Expected] : Cases) {
    TMemoryStream Stream;
    FillStream(Stream, Counting(10));
    Stream.SetPosition(4);
    EXPECT_EQ(Stream.Seek(Offset, Origin), Expected) << Offset << " from " << Origin;
    EXPECT_EQ(Stream.GetPosition(), Expected);
  }
  TMemoryStream Stream;
  FillStream(Stream, Counting(4));
  EXPECT_THROW(Stream.Seek(-1, soBeginning), EStreamError);
  EXPECT_THROW(Stream.Seek(-5, soEnd), EStreamError);
  EXPECT_EQ(Stream.GetPosition(), 0);
}

TEST(MemoryStream, ReadsWhatItHoldsAndNoMore) {
  TMemoryStream Stream;
  FillStream(Stream, Counting(5));
  uint8_t Buffer[8] = {};
  Stream.SetPosition(3);
  EXPECT_EQ(Stream.Read(Buffer, 8), 2);
  EXPECT_EQ(Buffer[0], 4);
  EXPECT_EQ(Buffer[1], 5);
  EXPECT_EQ(Stream.Read(Buffer, 8), 0);
  Stream.Seek(10, soBeginning);
  EXPECT_EQ(Stream.Read(Buffer, 8), 0);
}

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
  TMemoryStream Stream;
  FillStream(Stream, {9, 9});
  Stream.SetPosition(4);
  const uint8_t Tail[] = {7, 8};
  EXPECT_EQ(Stream.Write(Tail, 2), 2);
  EXPECT_EQ(StreamBytes(Stream), (TBytes{9, 9, 0, 0, 7, 8}));
  EXPECT_EQ(Stream.GetPosition(), 6);
}

TEST(MemoryStream, ShrinkingPullsThePositionBack) {
  TMemoryStream Stream;
  FillStream(Stream, Counting(10));
  Stream.SetPosition(9);
  Stream.SetSize(3);
  EXPECT_EQ(Stream.GetSize(), 3);
  EXPECT_EQ(Stream.GetPosition(), 3);
  Stream.Clear();
  EXPECT_EQ(Stream.GetSize(), 0);
  EXPECT_EQ(Stream.GetPosition(), 0);
}

TEST(ReadBuffer, GathersShortCountsUntilComplete) {
  TTrickleStream Stream(3, INT64_MAX);
  FillStream(Stream, Counting(10));
  TBytes Got(10);
  Stream.ReadBuffer(Got.data(), 10);
  EXPECT_EQ(Got, Counting(10));
  EXPECT_EQ(Stream.ReadCalls(), 4);
}

TEST(ReadBuffer, RaisesWhenTheStreamEndsEarlyAndNamesIt) {
  TTrickleStream Stream(3, 5);
  FillStream(Stream, Counting(10));
  TBytes Got(10);
  EXPECT_PRED2(Contains, MessageOf<EReadError>([&] { Stream.ReadBuffer(Got.data(), 10); }),
               "memory stream");
}

TEST(WriteBuffer, GathersShortCountsAndRaisesOnAFullStream) {
  TTrickleStream Partial(2, INT64_MAX);
  Partial.WriteBuffer(Counting(7).data(), 7);
  EXPECT_EQ(StreamBytes(Partial), Counting(7));

  TTrickleStream Full(2, INT64_MAX, 5);
  EXPECT_PRED2(Contains, MessageOf<EWriteError>([&] { Full.WriteBuffer(Counting(7).data(), 7); }),
               "memory stream took only 5 of 7 bytes");
}

TEST(CopyFrom, CopiesExactlyTheCountFromShortReads) {
  TTrickleStream Source(7, INT64_MAX);
  FillStream(Source, Counting(100));
  Source.SetPosition(10);
  TMemoryStream Target;
  EXPECT_EQ(Target.CopyFrom(Source, 50), 50);
  const TBytes All = Counting(100);
  EXPECT_EQ(StreamBytes(Target), TBytes(All.begin() + 10, All.begin() + 60));
  EXPECT_EQ(Source.GetPosition(), 60);
  EXPECT_EQ(Target.GetPosition(), 50);
}

TEST(CopyFrom, LeavesTheDestinationAsItWasAfterAReadError) {
  TTrickleStream Source(7, 30);
  FillStream(Source, Counting(100));
  TMemoryStream Empty;
  EXPECT_THROW(Empty.CopyFrom(Source, 50), EReadError);
  EXPECT_EQ(Empty.GetSize(), 0);
  EXPECT_EQ(Empty.GetPosition(), 0);

  Source.SetPosition(0);
  TMemoryStream Holding;
  FillStream(Holding, {1, 2, 3});
  Holding.SetPosition(3);
  EXPECT_THROW(Holding.CopyFrom(Source, 50), EReadError);
  EXPECT_EQ(StreamBytes(Holding), (TBytes{1, 2, 3}));
  EXPECT_EQ(Holding.GetPosition(), 3);
}

TEST(CopyFrom, GoesThroughABufferIntoOtherStreams) {
  TScratchDir Dir;
  TMemoryStream Source;
  FillStream(Source, Counting(3000));
  {
    TFileStream File(Dir.PathOf("copy"), fmCreate);
    EXPECT_EQ(File.CopyFrom(Source, 3000), 3000);
    EXPECT_EQ(File.GetSize(), 3000);
  }
  TFileStream Back(Dir.PathOf("copy"), fmOpenRead);
  TMemoryStream Check;
  Check.CopyFrom(Back, 3000);
  EXPECT_EQ(StreamBytes(Check), Counting(3000));
}

TEST(FileStream, ReadsAndSeeksAnExistingFileReadOnly) {
  TScratchDir Dir;
  const std::string Path = Dir.Write("data", Counting(20));
  TFileStream File(Path, fmOpenRead);
  EXPECT_EQ(File.GetSize(), 20);
  EXPECT_EQ(File.Seek(-5, soEnd), 15);
  uint8_t Byte = 0;
  File.ReadBuffer(&Byte, 1);
  EXPECT_EQ(Byte, 16);
  EXPECT_EQ(File.GetPosition(), 16);
  EXPECT_THROW(File.WriteBuffer(&Byte, 1), EWriteError);
}

TEST(FileStream, OpenErrorsNameTheFile) {
  EXPECT_EQ(MessageOf<EFOpenError>([] { TFileStream("/nonexistent/dir/x.vqz", fmOpenRead); }),
            "Cannot open file \"/nonexistent/dir/x.vqz\". No such file or directory");
  EXPECT_THROW(TFileStream("/nonexistent/dir/x.png", fmCreate), EFCreateError);
}

TEST(FileStream, AFullDiskIsAWriteErrorNamingTheFile) {
  TFileStream Full("/dev/full", fmOpenWrite);
  EXPECT_PRED2(Contains, MessageOf<EWriteError>([&] { Full.WriteBuffer(Counting(16).data(), 16); }),
               "file \"/dev/full\"");
}

TEST(FileStream, SetSizeTruncatesAndExtends) {
  TScratchDir Dir;
  TFileStream File(Dir.PathOf("sized"), fmCreate);
  File.WriteBuffer(Counting(10).data(), 10);
  File.SetSize(4);
  EXPECT_EQ(File.GetSize(), 4);
  EXPECT_EQ(File.GetPosition(), 4);
  File.SetSize(1000);
  EXPECT_EQ(File.GetSize(), 1000);
}

} // namespace
