#include "png/pngimage.h"
#include "tests/png/png_builder.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

namespace {

using TTypes = std::vector<std::string>;

// One grey pixel, row filter None.
const TBytes OnePixelRow{0, 0x80};

TPngBuilder OnePixelGrey() {
  return std::move(TPngBuilder().Header(1, 1, 8, 0));
}

TBytes Signature() {
  return TBytes(PngSignature.begin(), PngSignature.end());
}

TBytes Frame(uint32_t Length, const std::string& Type) {
  TBytes Bytes(8);
  for (size_t i = 0; i < 4; ++i) {
    Bytes[i] = static_cast<uint8_t>(Length >> (24 - 8 * i));
    Bytes[4 + i] = static_cast<uint8_t>(Type[i]);
  }
  return Bytes;
}

template <class E>
bool Raises(TPNGObject& Image, const TBytes& Bytes) {
  try {
    LoadBytes(Image, Bytes);
  } catch (const E&) {
    return true;
  } catch (const Exception& Other) {
    ADD_FAILURE() << "another exception: " << Other.Message();
  }
  return false;
}

struct TFailureCase {
  const char* Name;
  TBytes Stream;
  TTypes KeptAfter; // the chunk list after the failure
};

template <class E>
void ExpectFailure(const TFailureCase& Case) {
  TPNGObject Image;
  EXPECT_TRUE(Raises<E>(Image, Case.Stream)) << Case.Name;
  EXPECT_EQ(ChunkTypes(Image), Case.KeptAfter) << Case.Name;
}

TEST(LoadFromStream, ABadSignatureEmptiesTheImage) {
  TPNGObject Image;
  LoadBytes(Image, OnePixelGrey().Data(OnePixelRow).End().Bytes());
  ASSERT_FALSE(Image.GetEmpty());
  for (const TBytes& Bytes : {TBytes{0x89, 'P', 'N'}, TBytes(8, 0), TBytes{}}) {
    EXPECT_TRUE(Raises<EPNGInvalidFileHeader>(Image, Bytes));
    EXPECT_TRUE(Image.GetEmpty());
  }
}

// The chunk list after every kind of failure, from the smallest stream that shows it.
TEST(LoadFromStream, KeepsWhatWasReadBeforeAFailure) {
  ExpectFailure<EPngUnexpectedEnd>({"SignatureOnly", Signature(), {}});
  ExpectFailure<EPNGIHDRNotFirst>(
      {"GammaFirst", TPngBuilder().Chunk("gAMA", {0, 1, 0x86, 0xA0}).Bytes(), {}});
  ExpectFailure<EPNGIHDRNotFirst>(
      {"ChrmFirst", TPngBuilder().Chunk("cHRM", TBytes(32)).Bytes(), {}});
  ExpectFailure<EPNGNoImageData>({"HeaderAndEnd", OnePixelGrey().End().Bytes(), {"IHDR", "IEND"}});
  ExpectFailure<EPngUnexpectedEnd>(
      {"NoEnd", OnePixelGrey().Data(OnePixelRow).Bytes(), {"IHDR", "IDAT"}});
  ExpectFailure<EPngUnexpectedEnd>(
      {"CutInsideTheLength", OnePixelGrey().Raw({0, 0}).Bytes(), {"IHDR"}});
  ExpectFailure<EPngUnexpectedEnd>(
      {"CutInsideTheType", OnePixelGrey().Raw({0, 0, 0, 0, 't', 'E'}).Bytes(), {"IHDR"}});
  ExpectFailure<EPngUnexpectedEnd>({"CutInsideABody",
                                    OnePixelGrey().Raw(Frame(10, "tEXt")).Raw({'a', 0}).Bytes(),
                                    {"IHDR", "tEXt"}});
  ExpectFailure<EPNGUnknownCriticalChunk>(
      {"UnknownCritical", OnePixelGrey().Chunk("ABCD", {1, 2}).Bytes(), {"IHDR", "ABCD"}});
  TPNGObject Unknown;
  EXPECT_TRUE(Raises<EPNGUnknownCriticalChunk>(Unknown, OnePixelGrey().Chunk("ABCD", {1}).Bytes()));
  EXPECT_EQ(Unknown.ChunkList.Item(1)->ChunkBodySize(), 0) << "kept with an empty body";
  ExpectFailure<EPngInvalidCRC>({"BadCrc",
                                 OnePixelGrey().Chunk("tEXt", {'a', 0, 'b'}).BreakLastCrc().Bytes(),
                                 {"IHDR", "tEXt"}});
}

// A length with its top bit set would move the stream backwards; this 45-byte file looped.
TEST(LoadFromStream, ATopBitLengthEndsTheReadInsteadOfLooping) {
  const TBytes Looping = OnePixelGrey().Raw(Frame(0xFFFFFFF4, "cHRM")).Raw({0, 0, 0, 0}).Bytes();
  ASSERT_EQ(Looping.size(), 45u);
  ExpectFailure<EPngUnexpectedEnd>({"SkippedChunk", Looping, {"IHDR"}});
  ExpectFailure<EPngUnexpectedEnd>(
      {"LaterData",
       OnePixelGrey().Data(OnePixelRow).Raw(Frame(0x80000000, "IDAT")).Bytes(),
       {"IHDR", "IDAT"}});
  ExpectFailure<EPngUnexpectedEnd>(
      {"KeptChunk",
       OnePixelGrey().Raw(Frame(0xFFFFFFFF, "tEXt")).Raw(TBytes(8)).Bytes(),
       {"IHDR"}});
  ExpectFailure<EPngUnexpectedEnd>(
      {"SkipPastTheEnd", OnePixelGrey().Raw(Frame(1000, "cHRM")).Bytes(), {"IHDR"}});
}

TEST(LoadFromStream, StopsJustAfterTheEndChunk) {
  const TBytes Png = OnePixelGrey().Data(OnePixelRow).End().Bytes();
  TBytes WithTail = Png;
  WithTail.insert(WithTail.end(), {1, 2, 3, 4, 5});
  TPNGObject Image;
  TMemoryStream Stream;
  LoadBytes(Image, WithTail, &Stream);
  EXPECT_EQ(Stream.GetPosition(), static_cast<int64_t>(Png.size()));
  EXPECT_EQ(ChunkTypes(Image), (TTypes{"IHDR", "IDAT", "IEND"}));
}

TEST(SaveToStream, ANewImageWritesTheSignatureAlone) {
  TPNGObject Image;
  EXPECT_EQ(SavedBytes(Image), Signature());
}

TEST(Image, CannotBeResizedThroughWidthAndHeight) {
  TPNGObject Image;
  LoadBytes(Image, OnePixelGrey().Data(OnePixelRow).End().Bytes());
  EXPECT_EQ(MessageOf<EPngError>([&] { Image.SetWidth(5); }), PngMessage(MsgCannotResize));
  EXPECT_THROW(Image.SetHeight(5), EPngError);
  EXPECT_EQ(Image.GetWidth(), 1);
}

TEST(Image, WithoutAHeaderHasNoSizeAndRaisesForTheHeader) {
  TPNGObject Image;
  EXPECT_EQ(Image.GetWidth(), 0);
  EXPECT_FALSE(Image.HasHeader());
  EXPECT_THROW(Image.Header(), EPNGHeaderNotPresent);
  EXPECT_THROW(Image.TransparencyKind(), EPNGHeaderNotPresent);
  EXPECT_EQ(Image.ImageKeyColor(), 0u);
}

TEST(CopyFromPNG, CopiesChunksSettingsAndGammaTables) {
  TPNGObject Source;
  LoadBytes(Source, OnePixelGrey()
                        .Chunk("gAMA", {0, 0, 0xC3, 0x50})
                        .Chunk("tEXt", {'k', 0, 'v'})
                        .Data(OnePixelRow)
                        .End()
                        .Bytes());
  Source.SetMaxDataChunkSize(100000);
  Source.ZlibLevel = 3;
  Source.SetRowFilters(pfPaeth);
  Source.SetInterlaceKind(1);
  TPNGObject Copy;
  Copy.Assign(Source);
  EXPECT_EQ(ChunkTypes(Copy), ChunkTypes(Source));
  EXPECT_EQ(Copy.GetMaxDataChunkSize(), 100000u);
  EXPECT_EQ(Copy.ZlibLevel, 3);
  EXPECT_EQ(Copy.GetRowFilters(), pfPaeth);
  EXPECT_EQ(Copy.GetInterlaceKind(), 1);
  EXPECT_EQ(Copy.GammaLut, Source.GammaLut);
  EXPECT_EQ(Copy.InverseGammaLut, Source.InverseGammaLut);
  EXPECT_EQ(Copy.Header().ImageRow(0)[0], 0x80);
  EXPECT_NE(Copy.Header().PixelBase, Source.Header().PixelBase);
  EXPECT_EQ(static_cast<TChunktEXt*>(Copy.ChunkList.Item(2))->Text, "v");
  Copy.Assign(Copy);
  EXPECT_EQ(ChunkTypes(Copy), ChunkTypes(Source)) << "a copy from itself changes nothing";
  EXPECT_EQ(Copy.Header().ImageRow(0)[0], 0x80);
}

// A copy that fails part way keeps the chunks made so far, the failing one included, and no
// empty slot.
TEST(CopyFromPNG, AFailureCutsTheListToTheChunksMade) {
  TPNGObject Source;
  LoadBytes(Source, OnePixelGrey().Data(OnePixelRow).End().Bytes());
  TPNGObject Copy;
  GdiFailCall(gcCreate, 1);
  EXPECT_THROW(Copy.Assign(Source), EPNGOutMemory);
  GdiFailCall(gcCreate, 0);
  EXPECT_EQ(ChunkTypes(Copy), (TTypes{"IHDR"}));
  EXPECT_FALSE(Copy.Header().ImageMemoryUsable());
}

} // namespace
