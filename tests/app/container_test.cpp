#include "app/uVQZ2Image.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const TBytes PngSignature{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

// A file of Size bytes (filled with 0xEE), the offset byte at 16 set to Offset and Picture
// written at PictureAt.
TBytes Container(size_t Size, uint8_t Offset, const TBytes& Picture, size_t PictureAt) {
  TBytes File(Size, 0xEE);
  if (Size > 16)
    File[16] = Offset;
  for (size_t i = 0; i < Picture.size() && PictureAt + i < Size; ++i)
    File[PictureAt + i] = Picture[i];
  return File;
}

TBytes PlainPngFile() {
  TBytes File = PngSignature;
  const TBytes Header{0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 1, 0, 0, 0, 0, 32, 8, 2, 0, 0, 0};
  File.insert(File.end(), Header.begin(), Header.end());
  return File;
}

TBytes PlainBmpFile() {
  TBytes File{'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0};
  File.resize(58, 0);
  return File;
}

struct TExtractCase {
  const char* Name;
  TBytes File;
  ExtractResult Result;
  EmbeddedImageKind Kind;
  size_t PictureAt; // the destination must hold the file from here to its end
};

// Every boundary of the container: the result, the kind and the picture, and no file left open.
TEST(Extract, GivesTheResultKindAndPicture) {
  const TExtractCase Cases[] = {
      {"SixteenBytes", TBytes(16, 0), erTooShort, 0, 0},
      {"SeventeenBytesBitmapAtZero", Container(17, 0, {'B', 'M'}, 0), erExtracted, eikBitmap, 0},
      {"Offset255In257Bytes", Container(257, 255, {'B', 'M'}, 255), erOffsetDoesNotFit, 0, 0},
      {"Offset255In258Bytes", Container(258, 255, {'B', 'M'}, 255), erExtracted, eikBitmap, 255},
      {"ThreeByteBitmap", Container(20, 17, {'B', 'M'}, 17), erExtracted, eikBitmap, 17},
      {"BitmapTestComesFirst", Container(40, 20, {'B', 'M', 0x4E, 0x47}, 20), erExtracted,
       eikBitmap, 20},
      {"SignatureEndsAtEndOfFile", Container(28, 20, PngSignature, 20), erOffsetDoesNotFit, 0, 0},
      {"SignatureAndOneByteMore", Container(29, 20, PngSignature, 20), erExtracted, eikPNG, 20},
      {"TooShortForASignatureIsNotAMismatch", Container(25, 20, {0x89, 0x50}, 20),
       erOffsetDoesNotFit, 0, 0},
      {"SignatureWithOneByteWrong", Container(40, 20, {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A},
                                              20),
       erNoPicture, 0, 0},
      {"NothingAtTheOffset", Container(100, 30, {}, 0), erNoPicture, 0, 0},
      {"PlainPngFileReadWhole", PlainPngFile(), erExtracted, eikPNG, 0},
      {"PlainBitmapFileReadWhole", PlainBmpFile(), erExtracted, eikBitmap, 0},
  };
  TScratchDir Dir;
  for (const TExtractCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Path = Dir.Write("case.vqz", Case.File);
    const int DescriptorsBefore = OpenDescriptorCount();
    TMemoryStream Destination;
    EmbeddedImageKind Kind = 0xFF;
    EXPECT_EQ(ExtractEmbeddedImage(Path, Destination, Kind), Case.Result);
    EXPECT_EQ(OpenDescriptorCount(), DescriptorsBefore) << "the file was left open";
    EXPECT_EQ(Destination.GetPosition(), 0);
    if (Case.Result != erExtracted) {
      EXPECT_EQ(Destination.GetSize(), 0);
      continue;
    }
    EXPECT_EQ(Kind, Case.Kind);
    EXPECT_EQ(StreamBytes(Destination),
              TBytes(Case.File.begin() + static_cast<long>(Case.PictureAt), Case.File.end()));
  }
}

TEST(ExtractFailures, LeaveAFilledDestinationUntouched) {
  TScratchDir Dir;
  TMemoryStream Destination;
  FillStream(Destination, {5, 6, 7});
  Destination.SetPosition(2);
  EmbeddedImageKind Kind = 0;
  for (const TBytes& File : {TBytes(3, 0), Container(100, 30, {}, 0)}) {
    EXPECT_LT(ExtractEmbeddedImage(Dir.Write("bad.vqz", File), Destination, Kind), 0);
    EXPECT_EQ(StreamBytes(Destination), (TBytes{5, 6, 7}));
    EXPECT_EQ(Destination.GetPosition(), 2);
  }
}

TEST(ExtractFailures, MissingFilesDirectoriesAndFifosAreNoFile) {
  TScratchDir Dir;
  const std::string Fifo = Dir.PathOf("pipe.vqz");
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  TMemoryStream Destination;
  EmbeddedImageKind Kind = 0;
  EXPECT_EQ(ExtractEmbeddedImage(Dir.PathOf("missing.vqz"), Destination, Kind), erNoFile);
  EXPECT_EQ(ExtractEmbeddedImage(Dir.PathOf(""), Destination, Kind), erNoFile);
  EXPECT_EQ(ExtractEmbeddedImage(Fifo, Destination, Kind), erNoFile);
}

TEST(PictureSize, MustBeAPositiveSigned32BitCount) {
  EXPECT_FALSE(PictureSizeFits(0));
  EXPECT_FALSE(PictureSizeFits(-1));
  EXPECT_TRUE(PictureSizeFits(1));
  EXPECT_TRUE(PictureSizeFits(0x7FFFFFFF));
  EXPECT_FALSE(PictureSizeFits(0x80000000LL));
}

// A sparse file of 2^31 bytes costs no disk and shows that such a picture is refused before
// anything is copied.
TEST(PictureSize, ATwoGibibytePictureIsRefused) {
  TScratchDir Dir;
  const std::string Path = Dir.Write("huge.vqz", Container(32, 1, {'B', 'M'}, 1));
  ASSERT_EQ(::truncate(Path.c_str(), (1LL << 31) + 1), 0);
  TMemoryStream Destination;
  EmbeddedImageKind Kind = 0;
  EXPECT_EQ(ExtractEmbeddedImage(Path, Destination, Kind), erOffsetDoesNotFit);
  EXPECT_EQ(Destination.GetSize(), 0);
}

} // namespace
