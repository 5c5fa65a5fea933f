#include "bench/our_codec.h"

#include <cstring>

namespace {

bool SameRowWithAlpha(const uint8_t* Colour, const uint8_t* Alpha, const uint8_t* Bgra,
                      uint32_t Width) {
  for (uint32_t X = 0; X < Width; ++X)
    if (std::memcmp(Colour + 3 * X, Bgra + 4 * X, 3) != 0 || Alpha[X] != Bgra[4 * X + 3])
      return false;
  return true;
}

} // namespace

void FillStream(TMemoryStream& Stream, const TBytes& Bytes) {
  Stream.Clear();
  Stream.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
}

bool OurDecode(TMemoryStream& Stream, TPNGObject& Image, std::string& Error) {
  try {
    Stream.SetPosition(0);
    Image.LoadFromStream(Stream);
    return true;
  } catch (const Exception& Failure) {
    Error = "our decoder: " + Failure.Message();
    return false;
  }
}

bool OurEncode(TPNGObject& Image, TMemoryStream& Stream, std::string& Error) {
  try {
    Stream.Clear();
    Image.SaveToStream(Stream);
    return true;
  } catch (const Exception& Failure) {
    Error = "our encoder: " + Failure.Message();
    return false;
  }
}

int64_t ImageMemoryBytes(const TPNGObject& Image) {
  const TChunkIHDR& Header = Image.Header();
  const int64_t Pixels = int64_t{Header.Width} * Header.Height;
  return int64_t{Header.RowStride} * Header.Height + (Header.AlphaPlane != nullptr ? Pixels : 0);
}

bool SameAsLibpng(const TPNGObject& Image, const TPngRows& Theirs) {
  const TChunkIHDR& Header = Image.Header();
  if (!Header.ImageMemoryUsable() || Header.Width != Theirs.Width || Header.Height != Theirs.Height)
    return false;
  for (uint32_t Y = 0; Y < Header.Height; ++Y) {
    const bool Same =
        Header.AlphaPlane != nullptr
            ? SameRowWithAlpha(Header.ImageRow(Y), Header.AlphaRow(Y), Theirs.Row(Y), Header.Width)
            : std::memcmp(Header.ImageRow(Y), Theirs.Row(Y), Theirs.RowBytes) == 0;
    if (!Same)
      return false;
  }
  return true;
}
