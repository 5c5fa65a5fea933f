#include "app/uVQZ2Image.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const TBytes PngSignature{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
const TBytes Filled{5, 6, 7};

// A file of Size bytes (filled with 0xEE), the offset byte at 16 set to Offset and Picture
// written at PictureAt.
TBytes Container(size_t Size, uint8_t Offset, const TBytes& Picture, size_t PictureAt) {
  TBytes File(Size, 0xEE);
  File[16] = Offset;
  std::copy(Picture.begin(), Picture.end(), File.begin() + static_cast<long>(PictureAt));
  return File;
}

// Every boundary of the container: the result, the kind and the picture (from the offset to
// the end), and no file left open. A rejected file leaves a filled destination as it was.
TEST(Extract, GivesTheResultKindAndPicture) {
  const std::tuple<const char*, TBytes, ExtractResult, EmbeddedImageKind> Cases[] = {
      {"SixteenBytes", TBytes(16, 0), erTooShort, 0},
      {"SeventeenBytesBitmapAtZero", Container(17, 0, {'B', 'M'}, 0), erExtracted, eikBitmap},
      {"Offset255In257Bytes", Container(257, 255, {'B', 'M'}, 255), erOffsetDoesNotFit, 0},
      {"Offset255In258Bytes", Container(258, 255, {'B', 'M'}, 255), erExtracted, eikBitmap},
      {"BitmapTestComesFirst", Container(40, 20, {'B', 'M', 0x4E, 0x47}, 20), erExtracted,
       eikBitmap},
      {"SignatureEndsAtEndOfFile", Container(28, 20, PngSignature, 20), erOffsetDoesNotFit, 0},
      {"SignatureAndOneByteMore", Container(29, 20, PngSignature, 20), erExtracted, eikPNG},
      {"TooShortForASignatureIsNotAMismatch", Container(25, 20, {0x89, 0x50}, 20),
       erOffsetDoesNotFit, 0},
      {"SignatureWithOneByteWrong",
       Container(40, 20, TBytes(PngSignature.begin(), PngSignature.end() - 1), 20), erNoPicture, 0},
  };
  TScratchDir Dir;
  for (const auto& [Name, File, Result, ExpectedKind] : Cases) {
    SCOPED_TRACE(Name);
    const std::string Path = Dir.Write("case.vqz", File);
    const int DescriptorsBefore = OpenDescriptorCount();
    TMemoryStream Destination;
    const bool Extracted = Result == erExtracted;
    if (!Extracted)
      FillStream(Destination, Filled).SetPosition(2);
    EmbeddedImageKind Kind = 0xFF;
    EXPECT_EQ(ExtractEmbeddedImage(Path, Destination, Kind), Result);
    EXPECT_EQ(OpenDescriptorCount(), DescriptorsBefore) << "the file was left open";
    EXPECT_EQ(StreamBytes(Destination),
              Extracted ? TBytes(File.begin() + File[16], File.end()) : Filled);
    EXPECT_EQ(Destination.GetPosition(), Extracted ? 0 : 2);
    if (Extracted) {
      EXPECT_EQ(Kind, ExpectedKind);
    }
  }
}

// Opening a FIFO would wait for a writer that never comes. A sparse file of 2^31 bytes costs no
// disk and shows that such a picture is refused before anything is copied.
TEST(Extract, NoFileAndPicturesOf2GibibytesAreRefused) {
  TScratchDir Dir;
  const std::string Fifo = Dir.PathOf("pipe.vqz");
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  const std::string Huge = Dir.Write("huge.vqz", Container(32, 1, {'B', 'M'}, 1));
  ASSERT_EQ(::truncate(Huge.c_str(), (1LL << 31) + 1), 0);
  const std::pair<std::string, ExtractResult> Cases[] = {{Dir.PathOf("missing.vqz"), erNoFile},
                                                         {Dir.PathOf(""), erNoFile},
                                                         {Fifo, erNoFile},
                                                         {Huge, erOffsetDoesNotFit}};
  for (const auto& [Path, Result] : Cases) {
    TMemoryStream Destination;
    EmbeddedImageKind Kind = 0;
    EXPECT_EQ(ExtractEmbeddedImage(Path, Destination, Kind), Result) << Path;
    EXPECT_EQ(Destination.GetSize(), 0);
  }
  for (const auto& [Size, Fits] : {std::pair{-1LL, false},
                                   {0LL, false},
                                   {1LL, true},
                                   {0x7FFFFFFFLL, true},
                                   {0x80000000LL, false}})
    EXPECT_EQ(PictureSizeFits(Size), Fits) << Size;
}

} // namespace
