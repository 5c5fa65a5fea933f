#include "png/pngimage.h"
#include "png/pngzlib.h"
#include "tests/png/png_builder.h"
#include "tests/support/allocation_probe.h"

#include "platform/core/limits.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

namespace {

TBytes VariedText(size_t Size) {
  const std::string Words = "the quick brown fox jumps over the lazy dog 0123456789 ";
  std::mt19937 Generator(11);
  TBytes Text(Size);
  for (auto& Byte : Text)
    Byte = static_cast<uint8_t>(Words[Generator() % Words.size()]);
  return Text;
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

// The ends of zlib's table of texts, and the codes just outside it.
TEST(ZlibErrorText, IsTheTableInsideItsRangeAndTheCodeOutside) {
  const std::pair<int, const char*> Cases[] = {{-6, "incompatible version (-6)"},
                                               {0, "(0)"},
                                               {2, "need dictionary (2)"},
                                               {-7, "(-7)"},
                                               {3, "(3)"},
                                               {-100000, "(-100000)"}};
  for (const auto& [Code, Text] : Cases)
    EXPECT_EQ(ZlibErrorText(Code), Text) << Code;
}

TBytes Truncated(TBytes Bytes) {
  Bytes.resize(Bytes.size() / 2);
  return Bytes;
}

TBytes WrongChecksum(TBytes Bytes) {
  Bytes.back() ^= 0x55;
  return Bytes;
}

TEST_F(ZlibHelpers, InflateBufferReportsDamageWithZlibsText) {
  const std::pair<TBytes, std::string> Cases[] = {
      {{}, "no compressed data"},
      {{0x12, 0x34, 0x56, 0x78}, "incorrect header check"},
      {Truncated(Compress(VariedText(5000))), "buffer error (-5)"},
      {WrongChecksum(Compress(VariedText(500))), "incorrect data check"},
      {{0x78, 0xBB, 0, 0, 0, 0, 0}, "need dictionary (2)"}};
  for (const auto& [Input, Expected] : Cases) {
    TBytes Output;
    std::string Error;
    EXPECT_EQ(Inflate(Input, 1 << 20, Output, Error), irDamaged) << Expected;
    EXPECT_EQ(Error, Expected);
  }
  const TBytes Input = Compress(VariedText(10));
  TBytes Output;
  std::string Error;
  EXPECT_EQ(InflateBuffer(Input.data(), -1, 100, Output, Error), irDamaged) << "a negative size";
  FailNthAllocation(1); // the output buffer cannot be had
  EXPECT_EQ(InflateBuffer(Input.data(), static_cast<int32_t>(Input.size()), 100, Output, Error),
            irDamaged);
  FailNthAllocation(0);
  EXPECT_EQ(Error, "insufficient memory (-4)");
}

// The cap holds exactly, also for 64 MiB of zeros squeezed into 64 KiB.
TEST_F(ZlibHelpers, InflateBufferStopsAtItsCap) {
  const TBytes Text = VariedText(1000);
  TBytes Output;
  std::string Error;
  EXPECT_EQ(Inflate(Compress(Text), 1000, Output, Error), irDone);
  EXPECT_EQ(Output.size(), 1000u);
  EXPECT_EQ(Inflate(Compress(Text), 999, Output, Error), irOverCap);
  EXPECT_EQ(Output, TBytes(Text.begin(), Text.begin() + 999));
  EXPECT_FALSE(Error.empty());
  EXPECT_EQ(Inflate(Compress(TBytes(64u << 20, 0)), 1u << 20, Output, Error), irOverCap);
  EXPECT_EQ(Output.size(), 1u << 20);
  EXPECT_LE(Output.capacity(), 2u << 20);
}

TEST_F(ZlibHelpers, DeflateBufferFailsWithoutRaising) {
  const TBytes Text = VariedText(100);
  TBytes Packed;
  std::string Error;
  EXPECT_FALSE(DeflateBuffer(Text.data(), 100, 10, Packed, Error));
  EXPECT_EQ(Error, "stream error (-2)");
  for (const auto& [Data, Size] :
       {std::pair{Text.data(), -1}, std::pair{static_cast<const uint8_t*>(nullptr), 5}}) {
    EXPECT_FALSE(DeflateBuffer(Data, Size, 6, Packed, Error));
    EXPECT_EQ(Error, "no data to compress");
  }
  ZlibFailAllocationsFrom(1);
  EXPECT_FALSE(DeflateBuffer(Text.data(), 100, 6, Packed, Error));
  EXPECT_EQ(Error, "insufficient memory (-4)");
  ZlibFailAllocationsFrom(0);
  Error.clear();
  FailNthAllocation(1); // the output buffer cannot be had
  EXPECT_FALSE(DeflateBuffer(Text.data(), 100, 6, Packed, Error));
  FailNthAllocation(0);
  EXPECT_EQ(Error, "insufficient memory (-4)");
  EXPECT_TRUE(Packed.empty()) << "nothing half made is handed out";
}

// A stream that cannot start raises at once, with the work buffer already freed, instead of
// leaving a dead stream for later loops to spin on.
TEST_F(ZlibHelpers, ABeginThatFailsRaisesTheComposedZlibMessage) {
  const std::tuple<int, int64_t, const char*> Cases[] = {
      // deflate level (-1: inflate), the allocation that fails (0: none), zlib's description
      {10, 0, "stream error (-2)"},
      {255, 0, "stream error (-2)"},
      {7, 1, "insufficient memory (-4)"},
      {-1, 1, "insufficient memory (-4)"}};
  for (const auto& [Level, FailingAllocation, Description] : Cases) {
    SCOPED_TRACE(Level);
    ZlibStream Record;
    ZlibFailAllocationsFrom(FailingAllocation);
    try {
      if (Level < 0)
        BeginInflate(Record);
      else
        BeginDeflate(static_cast<uint8_t>(Level), 65535, Record);
      ADD_FAILURE() << "no exception";
    } catch (const EPNGZLIBError& Error) {
      EXPECT_EQ(Error.Message(), PngMessage(MsgZlibError) + Description);
    }
    ZlibFailAllocationsFrom(0);
    EXPECT_EQ(Record.WorkBuffer, nullptr);
    EXPECT_EQ(Record.Direction, ZlibStream::zdNone);
  }
}

TEST_F(ZlibHelpers, ARecordEndsWhatWasBegunWhenItGoes) {
  {
    ZlibStream Record;
    BeginInflate(Record);
    BeginDeflate(9, 1000, Record);
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
