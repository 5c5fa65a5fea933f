#include "png/pngimage.h"
#include "png/pngzlib.h"

#include "platform/core/limits.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using TBytes = std::vector<uint8_t>;

TBytes VariedText(size_t Size) {
  const std::string Words = "the quick brown fox jumps over the lazy dog 0123456789 ";
  std::mt19937 Generator(11);
  TBytes Text(Size);
  for (auto& Byte : Text)
    Byte = static_cast<uint8_t>(Words[Generator() % Words.size()]);
  return Text;
}

// Compressed by zlib itself, the oracle for what InflateBuffer must read.
TBytes Compressed(const TBytes& Data, int Level = 6) {
  uLongf Size = compressBound(static_cast<uLong>(Data.size()));
  TBytes Out(Size);
  EXPECT_EQ(compress2(Out.data(), &Size, Data.data(), static_cast<uLong>(Data.size()), Level),
            Z_OK);
  Out.resize(Size);
  return Out;
}

TBytes CompressedWithDictionary(const TBytes& Data) {
  z_stream Stream{};
  deflateInit(&Stream, 6);
  deflateSetDictionary(&Stream, reinterpret_cast<const Bytef*>("dictionary"), 10);
  TBytes Out(deflateBound(&Stream, static_cast<uLong>(Data.size())));
  Stream.next_in = const_cast<Bytef*>(Data.data());
  Stream.avail_in = static_cast<uInt>(Data.size());
  Stream.next_out = Out.data();
  Stream.avail_out = static_cast<uInt>(Out.size());
  deflate(&Stream, Z_FINISH);
  Out.resize(Stream.total_out);
  deflateEnd(&Stream);
  return Out;
}

TInflateResult Inflate(const TBytes& Input, size_t Cap, TBytes& Output, std::string& Error) {
  return InflateBuffer(Input.data(), static_cast<int32_t>(Input.size()), Cap, Output, Error);
}

// Failures injected into ZlibAlloc end with the test.
class ZlibHelpers : public testing::Test {
protected:
  void SetUp() override { LiveBefore = ZlibLiveBlocks(); }
  void TearDown() override {
    ZlibFailAllocationsFrom(0);
    EXPECT_EQ(ZlibLiveBlocks(), LiveBefore) << "zlib state leaked";
  }
  int64_t LiveBefore = 0;
};

TEST(ZlibErrorText, IsTheTableInsideItsRangeAndTheCodeOutside) {
  const std::pair<int, const char*> Cases[] = {
      {-6, "incompatible version (-6)"}, {-5, "buffer error (-5)"},
      {-4, "insufficient memory (-4)"},  {-3, "data error (-3)"},
      {-2, "stream error (-2)"},         {-1, "file error (-1)"},
      {0, "(0)"},                        {1, "stream end (1)"},
      {2, "need dictionary (2)"},        {-7, "(-7)"},
      {3, "(3)"},                        {-100000, "(-100000)"}};
  for (const auto& [Code, Text] : Cases)
    EXPECT_EQ(ZlibErrorText(Code), Text) << Code;
}

TEST_F(ZlibHelpers, InflateBufferReadsWholeStreamsOfEverySize) {
  for (const size_t Size : {0u, 1u, 255u, 256u, 257u, 1000u, 100000u}) {
    const TBytes Text = VariedText(Size);
    TBytes Output;
    std::string Error;
    EXPECT_EQ(Inflate(Compressed(Text), 1 << 20, Output, Error), irDone) << Size << Error;
    EXPECT_EQ(Output, Text) << Size;
  }
}

struct TDamageCase {
  const char* Name;
  TBytes Input;
  std::string Error;
};

class InflateDamage : public ZlibHelpers, public testing::WithParamInterface<TDamageCase> {};

TEST_P(InflateDamage, IsReportedWithZlibsText) {
  TBytes Output;
  std::string Error;
  EXPECT_EQ(Inflate(GetParam().Input, 1 << 20, Output, Error), irDamaged);
  EXPECT_EQ(Error, GetParam().Error);
}

TBytes Truncated(TBytes Bytes) {
  Bytes.resize(Bytes.size() / 2);
  return Bytes;
}

TBytes WrongChecksum(TBytes Bytes) {
  Bytes.back() ^= 0x55;
  return Bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, InflateDamage,
    testing::Values(
        TDamageCase{"Empty", {}, "no compressed data"},
        TDamageCase{"BadHeader", {0x12, 0x34, 0x56, 0x78}, "incorrect header check"},
        TDamageCase{"Truncated", Truncated(Compressed(VariedText(5000))), "buffer error (-5)"},
        TDamageCase{"WrongAdler", WrongChecksum(Compressed(VariedText(500))),
                    "incorrect data check"},
        TDamageCase{"NeedsDictionary", CompressedWithDictionary(VariedText(300)),
                    "need dictionary (2)"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(ZlibHelpers, InflateBufferRefusesANegativeSize) {
  const TBytes Input = Compressed(VariedText(10));
  TBytes Output;
  std::string Error;
  EXPECT_EQ(InflateBuffer(Input.data(), -1, 100, Output, Error), irDamaged);
}

TEST_F(ZlibHelpers, InflateBufferStopsAtItsCap) {
  const TBytes Text = VariedText(1000);
  TBytes Output;
  std::string Error;
  EXPECT_EQ(Inflate(Compressed(Text), 1000, Output, Error), irDone);
  EXPECT_EQ(Output.size(), 1000u);
  EXPECT_EQ(Inflate(Compressed(Text), 999, Output, Error), irOverCap);
  EXPECT_EQ(Output, TBytes(Text.begin(), Text.begin() + 999));
  EXPECT_FALSE(Error.empty());
}

// 64 MiB of zeros squeeze into 64 KiB; a 1 MiB cap must hold.
TEST_F(ZlibHelpers, ACompressedBombStopsAtTheCap) {
  const TBytes Bomb = Compressed(TBytes(64u << 20, 0), 9);
  TBytes Output;
  std::string Error;
  EXPECT_EQ(Inflate(Bomb, 1u << 20, Output, Error), irOverCap);
  EXPECT_EQ(Output.size(), 1u << 20);
  EXPECT_LE(Output.capacity(), 2u << 20);
}

TEST_F(ZlibHelpers, DeflateBufferMakesCompleteStreams) {
  for (const size_t Size : {0u, 1u, 5000u}) {
    const TBytes Text = VariedText(Size);
    TBytes Packed;
    std::string Error;
    ASSERT_TRUE(DeflateBuffer(Text.data(), static_cast<int32_t>(Size), 9, Packed, Error)) << Error;
    uLongf Unpacked = static_cast<uLongf>(Size + 1);
    TBytes Back(Unpacked);
    ASSERT_EQ(uncompress(Back.data(), &Unpacked, Packed.data(), static_cast<uLong>(Packed.size())),
              Z_OK);
    Back.resize(Unpacked);
    EXPECT_EQ(Back, Text) << Size;
  }
}

TEST_F(ZlibHelpers, DeflateBufferFailsWithoutRaising) {
  const TBytes Text = VariedText(100);
  TBytes Packed;
  std::string Error;
  EXPECT_FALSE(DeflateBuffer(Text.data(), 100, 10, Packed, Error));
  EXPECT_EQ(Error, "stream error (-2)");
  EXPECT_FALSE(DeflateBuffer(Text.data(), -1, 6, Packed, Error));
  ZlibFailAllocationsFrom(1);
  EXPECT_FALSE(DeflateBuffer(Text.data(), 100, 6, Packed, Error));
  EXPECT_EQ(Error, "insufficient memory (-4)");
}

TEST_F(ZlibHelpers, BeginDeflateReadiesTheWorkBuffer) {
  TMemoryStream Target;
  ZlibStream Record;
  BeginDeflate(Target, 7, 65535, Record);
  EXPECT_EQ(Record.ZLib.avail_out, 65535u);
  EXPECT_EQ(Record.ZLib.next_out, Record.WorkBuffer.get());
  EXPECT_EQ(Record.DataStream, &Target);
  EXPECT_EQ(Record.ZLib.zalloc, &ZlibAlloc);
  EXPECT_GT(ZlibLiveBlocks(), LiveBefore);
  EndDeflate(Record);
  EXPECT_EQ(Record.WorkBuffer, nullptr);
}

TEST_F(ZlibHelpers, BeginInflateReadiesTheInputBuffer) {
  TMemoryStream Source;
  ZlibStream Record;
  BeginInflate(Source, Record);
  EXPECT_EQ(Record.WorkBufferSize, ZlibInputBufferSize);
  EXPECT_EQ(Record.ZLib.avail_in, 0u);
  EXPECT_EQ(Record.ZLib.zfree, &ZlibFree);
  EXPECT_GT(ZlibLiveBlocks(), LiveBefore);
  EndInflate(Record);
  EXPECT_EQ(ZlibLiveBlocks(), LiveBefore);
}

struct TBeginFailure {
  const char* Name;
  int Level;
  int64_t FailingAllocation;
  const char* Description;
};

class BeginFailure : public ZlibHelpers, public testing::WithParamInterface<TBeginFailure> {};

// A stream that cannot start raises at once, with the work buffer already freed, instead of
// leaving a dead stream for later loops to spin on.
TEST_P(BeginFailure, RaisesTheComposedZlibMessage) {
  TMemoryStream Stream;
  ZlibStream Record;
  ZlibFailAllocationsFrom(GetParam().FailingAllocation);
  try {
    if (GetParam().Level < 0)
      BeginInflate(Stream, Record);
    else
      BeginDeflate(Stream, static_cast<uint8_t>(GetParam().Level), 65535, Record);
    FAIL() << "no exception";
  } catch (const EPNGZLIBError& Error) {
    EXPECT_EQ(Error.Message(), PngMessage(MsgZlibError) + GetParam().Description);
  }
  EXPECT_EQ(Record.WorkBuffer, nullptr);
  EXPECT_EQ(Record.Direction, ZlibStream::zdNone);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, BeginFailure,
    testing::Values(TBeginFailure{"DeflateLevel10", 10, 0, "stream error (-2)"},
                    TBeginFailure{"DeflateLevel255", 255, 0, "stream error (-2)"},
                    TBeginFailure{"DeflateWithoutMemory", 7, 1, "insufficient memory (-4)"},
                    TBeginFailure{"InflateWithoutMemory", -1, 1, "insufficient memory (-4)"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(ZlibHelpers, ARecordEndsWhatWasBegunWhenItGoes) {
  TMemoryStream Stream;
  {
    ZlibStream Record;
    BeginInflate(Stream, Record);
    BeginDeflate(Stream, 9, 1000, Record);
  }
  EXPECT_EQ(ZlibLiveBlocks(), LiveBefore);
}

TEST(ZlibAlloc, RefusesRequestsItCannotServe) {
  voidpf Largest = ZlibAlloc(nullptr, 1u << 15, MaxZlibBlockBytes >> 15);
  EXPECT_NE(Largest, nullptr) << "a block of exactly MaxZlibBlockBytes";
  ZlibFree(nullptr, Largest);
  EXPECT_EQ(ZlibAlloc(nullptr, 1, MaxZlibBlockBytes + 1), nullptr);
  EXPECT_EQ(ZlibAlloc(nullptr, 1u << 16, 1u << 16), nullptr);
  EXPECT_EQ(ZlibAlloc(nullptr, 0xFFFFFFFFu, 0xFFFFFFFFu), nullptr);
  ZlibFailAllocationsFrom(2);
  voidpf First = ZlibAlloc(nullptr, 10, 10);
  EXPECT_NE(First, nullptr);
  EXPECT_EQ(ZlibAlloc(nullptr, 10, 10), nullptr);
  EXPECT_EQ(ZlibAlloc(nullptr, 10, 10), nullptr);
  ZlibFailAllocationsFrom(0);
  ZlibFree(nullptr, First);
}

} // namespace
