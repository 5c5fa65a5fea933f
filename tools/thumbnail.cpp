#include "tools/thumbnail.h"

#include "tools/output.h"
#include "tools/shown.h"

#include <memory>

namespace {

uint32_t Scaled(uint32_t Side, uint32_t Box, uint32_t Longest) {
  const uint64_t Rounded = (uint64_t{Side} * Box * 2 + Longest) / (uint64_t{Longest} * 2);
  return std::max<uint32_t>(1, static_cast<uint32_t>(Rounded));
}

// An image of the codec's own: 8-bit RGBA, its colours in the image memory (blue first) and
// its alpha in the alpha plane, written without gamma.
void FillRgbaImage(TPNGObject& Image, TPictureSize Size, const std::vector<uint8_t>& Pixels) {
  Image.ResetGammaTables();
  TChunkIHDR* Header = Image.ChunkList.Add(std::make_unique<TChunkIHDR>(&Image));
  Image.ChunkList.Add(std::make_unique<TChunkIDAT>(&Image));
  Image.ChunkList.Add(std::make_unique<TChunkIEND>(&Image));
  Header->Width = Size.Width;
  Header->Height = Size.Height;
  Header->BitDepth = 8;
  Header->ColorType = COLOR_RGBALPHA;
  Header->CreateImageMemory();
  const uint8_t* From = Pixels.data();
  for (uint32_t Y = 0; Y < Size.Height; ++Y) {
    uint8_t* Colour = Header->ImageRow(Y);
    uint8_t* Alpha = Header->AlphaRow(Y);
    for (uint32_t X = 0; X < Size.Width; ++X, From += 4, Colour += 3) {
      Colour[0] = From[2], Colour[1] = From[1], Colour[2] = From[0];
      Alpha[X] = From[3];
    }
  }
}

} // namespace

TPictureSize ThumbnailSize(TPictureSize Picture, uint32_t Box) {
  const uint32_t Longest = std::max(Picture.Width, Picture.Height);
  if (Longest <= Box)
    return Picture;
  return {Scaled(Picture.Width, Box, Longest), Scaled(Picture.Height, Box, Longest)};
}

void WriteThumbnail(TInputPicture& Input, uint32_t Box, const std::string& OutPath) {
  const TShownPixels Pixels(PngImageOf(Input));
  const TPictureSize From{Pixels.Width(), Pixels.Height()};
  const TPictureSize To = ThumbnailSize(From, Box);
  const auto ReadRow = [&](uint32_t Y, uint8_t* Row) { Pixels.ReadRow(Y, Row); };
  TPNGObject Thumbnail;
  FillRgbaImage(Thumbnail, To, AreaAverage(From, ReadRow, To));
  TMemoryStream Encoded;
  Thumbnail.SaveToStream(Encoded);
  WriteWholeFile(OutPath, Encoded);
}
