#include "app/uVQZ2Image.h"

#include "platform/core/limits.h"

#include <array>

namespace {

constexpr int64_t OffsetBytePosition = 16;
constexpr int64_t MinimumFileSize = OffsetBytePosition + 1;
constexpr std::array<uint8_t, 2> BitmapMagic{0x42, 0x4D};
constexpr std::array<uint8_t, 8> PngMagic{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

template <size_t N>
bool BytesAtAre(TFileStream& File, int64_t Offset, const std::array<uint8_t, N>& Expected) {
  std::array<uint8_t, N> Found{};
  File.Seek(Offset, soBeginning);
  File.ReadBuffer(Found.data(), N);
  return Found == Expected;
}

} // namespace

bool PictureSizeFits(int64_t PictureSize) {
  return PictureSize > 0 && PictureSize <= MaxContainerPictureBytes;
}

ExtractResult ExtractEmbeddedImage(const std::string& Path, TMemoryStream& Destination,
                                   EmbeddedImageKind& Kind) {
  if (!FileExists(Path))
    return erNoFile;
  TFileStream File(Path, fmOpenRead);
  const int64_t Size = File.GetSize();
  if (Size < MinimumFileSize)
    return erTooShort;

  uint8_t Offset = 0;
  File.Seek(OffsetBytePosition, soBeginning);
  File.ReadBuffer(&Offset, 1);
  if (Offset + 2 >= Size)
    return erOffsetDoesNotFit;

  // The BMP test comes first: two bytes "BM" make a bitmap whatever follows them.
  Kind = eikNone;
  if (BytesAtAre(File, Offset, BitmapMagic)) {
    Kind = eikBitmap;
  } else {
    if (Offset + 8 >= Size)
      return erOffsetDoesNotFit;
    if (BytesAtAre(File, Offset, PngMagic))
      Kind = eikPNG;
  }
  if (Kind == eikNone)
    return erNoPicture;

  const int64_t PictureSize = Size - Offset;
  if (!PictureSizeFits(PictureSize))
    return erOffsetDoesNotFit;
  File.Seek(Offset, soBeginning);
  Destination.SetPosition(0);
  Destination.CopyFrom(File, PictureSize);
  Destination.SetPosition(0);
  return erExtracted;
}

std::string ExtractResultText(ExtractResult Result) {
  switch (Result) {
  case erNoFile:
    return "no such file";
  case erTooShort:
    return "the file is shorter than 17 bytes, too short for a VQZ container";
  case erOffsetDoesNotFit:
    return "the picture offset does not fit the file";
  case erNoPicture:
    return "there is no BMP or PNG picture at the picture offset";
  default:
    return "the container reader failed with result " + std::to_string(Result);
  }
}
