#include "tests/png/png_builder.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

void PutBigEndian32(TBytes& Bytes, uint32_t Value) {
  for (int Shift = 24; Shift >= 0; Shift -= 8)
    Bytes.push_back(static_cast<uint8_t>(Value >> Shift));
}

} // namespace

TBytes HeaderBody(uint32_t Width, uint32_t Height, uint8_t BitDepth, uint8_t ColorType,
                  uint8_t Interlace, uint8_t Compression) {
  TBytes Body;
  PutBigEndian32(Body, Width);
  PutBigEndian32(Body, Height);
  Body.insert(Body.end(), {BitDepth, ColorType, Compression, 0, Interlace});
  return Body;
}

TBytes Compress(const TBytes& Raw) {
  uLongf Size = compressBound(static_cast<uLong>(Raw.size()));
  TBytes Out(Size);
  compress2(Out.data(), &Size, Raw.data(), static_cast<uLong>(Raw.size()), 9);
  Out.resize(Size);
  return Out;
}

TPngBuilder::TPngBuilder() : FBytes(PngSignature.begin(), PngSignature.end()) {}

TPngBuilder& TPngBuilder::Chunk(const std::string& Type, const TBytes& Body) {
  PutBigEndian32(FBytes, static_cast<uint32_t>(Body.size()));
  const size_t TypeAt = FBytes.size();
  FBytes.insert(FBytes.end(), Type.begin(), Type.end());
  FBytes.insert(FBytes.end(), Body.begin(), Body.end());
  PutBigEndian32(FBytes, static_cast<uint32_t>(crc32(0, FBytes.data() + TypeAt,
                                                     static_cast<uInt>(FBytes.size() - TypeAt))));
  return *this;
}

TPngBuilder& TPngBuilder::Raw(const TBytes& Bytes) {
  FBytes.insert(FBytes.end(), Bytes.begin(), Bytes.end());
  return *this;
}

TPngBuilder& TPngBuilder::Header(uint32_t Width, uint32_t Height, uint8_t BitDepth,
                                 uint8_t ColorType, uint8_t Interlace) {
  return Chunk("IHDR", HeaderBody(Width, Height, BitDepth, ColorType, Interlace));
}

TPngBuilder& TPngBuilder::BreakLastCrc() {
  FBytes.back() ^= 1;
  return *this;
}

void LoadBytes(TPNGObject& Image, const TBytes& Bytes, TMemoryStream* Stream) {
  TMemoryStream Local;
  TMemoryStream& Target = Stream != nullptr ? *Stream : Local;
  Target.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  Target.SetPosition(0);
  Image.LoadFromStream(Target);
}

void ExpectRejected(const TBytes& Bytes, const std::type_info& Class, const std::string& Message) {
  TPNGObject Image;
  try {
    LoadBytes(Image, Bytes);
    ADD_FAILURE() << "loaded; expected: " << Message;
  } catch (const Exception& Error) {
    EXPECT_EQ(typeid(Error), Class) << Error.Message();
    EXPECT_EQ(Error.Message(), Message);
  }
}

TBytes SavedBytes(TPNGObject& Image) {
  TMemoryStream Stream;
  Image.SaveToStream(Stream);
  return TBytes(Stream.Memory(), Stream.Memory() + Stream.GetSize());
}

std::vector<std::string> ChunkTypes(const TPNGObject& Image) {
  std::vector<std::string> Types;
  for (int32_t i = 0; i < Image.ChunkList.Count(); ++i)
    Types.push_back(Image.ChunkList.Item(i) != nullptr
                        ? ChunkTagText(Image.ChunkList.Item(i)->ChunkTag)
                        : "(none)");
  return Types;
}

TBytes DuplicateBlackPalette() {
  return TPngBuilder()
      .Header(3, 1, 8, 3)
      .Chunk("PLTE", {0, 0, 0, 255, 0, 0, 0, 0, 0})
      .Chunk("tRNS", {0})
      .Data({0, 0, 1, 2})
      .End()
      .Bytes();
}

TBytes GreyKeyShownLikeItsNeighbour() {
  return TPngBuilder()
      .Header(2, 1, 8, 0)
      .Chunk("gAMA", {0x00, 0x01, 0x86, 0xA0})
      .Chunk("tRNS", {0, 255})
      .Data({0, 254, 255})
      .End()
      .Bytes();
}
