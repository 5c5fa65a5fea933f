#include "png/pngimage.h"
#include "tests/png/png_builder.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TBytes Longer(TBytes Body) {
  Body.insert(Body.end(), 7, 0xEE);
  return Body;
}

// The header's checks run in their order; a rejected header leaves no image memory.
TEST(Header, ChecksRunInTheirOrder) {
  const std::tuple<const char*, TBytes, TPngMessageId> Cases[] = {
      // the header's body, and the message it raises (0: it loads)
      {"Width65535", HeaderBody(65535, 1, 1, 0), 0},
      {"Width65536", HeaderBody(65536, 1, 8, 0), MsgSizeExceeds},
      {"Height2Pow31", HeaderBody(1, 0x80000000u, 8, 0), MsgSizeExceeds},
      {"Short", TBytes(12, 0), MsgInvalidIHDR},
      {"LongerBodyIgnored", Longer(HeaderBody(1, 1, 8, 0)), 0},
      {"CompressionBeforeInterlace", HeaderBody(1, 1, 8, 0, 7, 1), MsgUnknownCompression},
      {"Interlace2", HeaderBody(1, 1, 8, 0, 2), MsgUnknownInterlace},
      {"Grey3Bit", HeaderBody(1, 1, 3, 0, 1), MsgInvalidIHDR},
      {"Rgb4Bit", HeaderBody(1, 1, 4, 2), MsgInvalidIHDR},
      {"Palette16Bit", HeaderBody(1, 1, 16, 3), MsgInvalidIHDR},
      {"ColourType5", HeaderBody(1, 1, 8, 5), MsgInvalidIHDR}};
  for (const auto& [Name, Body, Message] : Cases) {
    SCOPED_TRACE(Name);
    TPNGObject Image;
    try {
      LoadBytes(Image, TPngBuilder().Chunk("IHDR", Body).Data({0, 0x11}).End().Bytes());
      EXPECT_EQ(Message, 0) << "loaded";
    } catch (const Exception& Error) {
      EXPECT_EQ(Error.Message(), PngMessage(Message));
      EXPECT_FALSE(Image.Header().ImageMemoryUsable()) << "a rejected header has no memory";
      EXPECT_EQ(Image.GetInterlaceKind(), 0);
    }
  }
}

TEST(Header, InterlaceOneSetsTheOwnersKindAndSavingWritesTheOwnersKind) {
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder().Header(1, 1, 8, 0, 1).Data({0, 7}).End().Bytes());
  EXPECT_EQ(Image.GetInterlaceKind(), 1);
  Image.SetInterlaceKind(0);
  TMemoryStream Stream;
  Image.Header().SaveChunk(Stream);
  EXPECT_EQ(Stream.Memory()[8 + 12], 0);
  EXPECT_EQ(Image.Header().InterlaceMethod, 1);
}

// Rows of the image memory are padded to four bytes; only alpha types get an alpha plane.
TEST(ImageMemory, RowsArePaddedToFourBytesAndAlphaHasAPlane) {
  const std::tuple<uint32_t, uint8_t, uint8_t, int32_t> Cases[] = {
      {1, 8, 2, 4}, {5, 1, 0, 4}, {33, 1, 0, 8}, {3, 2, 0, 4}, {7, 16, 4, 8}, {3, 8, 6, 12}};
  for (const auto& [Width, Depth, ColorType, Stride] : Cases) {
    TPNGObject Image;
    LoadBytes(Image, TPngBuilder().Header(Width, 1, Depth, ColorType).Data({0}).End().Bytes());
    EXPECT_EQ(Image.Header().RowStride, Stride) << Width;
    EXPECT_EQ(Image.Header().AlphaPlane != nullptr, ColorType >= 4) << int{ColorType};
  }
}

// A file of many large headers would ask for gigabytes: only the image's own, the first, gets
// memory.
TEST(ImageMemory, OnlyTheFirstHeaderBuildsIt) {
  TPngBuilder Builder;
  Builder.Header(1, 1, 8, 0);
  for (int i = 0; i < 16; ++i)
    Builder.Header(65535, 32767, 8, 6, 1);
  TPNGObject Image;
  LoadBytes(Image, Builder.Data({0, 5}).End().Bytes());
  EXPECT_EQ(Image.GetInterlaceKind(), 0);
  EXPECT_EQ(Image.Header().ImageRow(0)[0], 5);
  const auto* Later = static_cast<TChunkIHDR*>(Image.ChunkList.Item(1));
  EXPECT_EQ(Later->Width, 65535u);
  EXPECT_EQ(Later->PixelBase, nullptr);
  EXPECT_EQ(GdiLiveObjectCount(), 2) << "one section and its context";
}

TEST(ImageMemory, WhatCannotBeHadAtFullSizeIsOutOfMemory) {
  TPNGObject Image;
  EXPECT_EQ(MessageOf<EPNGOutMemory>(
                [&] { LoadBytes(Image, TPngBuilder().Header(65535, 65535, 8, 6).Bytes()); }),
            PngMessage(MsgOutOfResources));
  EXPECT_EQ(Image.Header().AlphaPlane, nullptr);
  EXPECT_FALSE(Image.Header().ImageMemoryUsable());
  EXPECT_EQ(GdiLiveObjectCount(), 0);
}

TEST(ImageMemory, AnImageWithoutPixelsNeedsNone) {
  for (const auto& [Width, Height] : {std::pair{0u, 3u}, std::pair{3u, 0u}}) {
    TPNGObject Image;
    TBytes Raw(Height, 0);
    LoadBytes(Image, TPngBuilder().Header(Width, Height, 8, 6).Data(Raw).End().Bytes());
    EXPECT_EQ(Image.Header().PixelBase, nullptr);
    EXPECT_TRUE(Image.Header().ImageMemoryUsable());
  }
}

TEST(ImageMemory, AssigningTheHeaderReplacesItsMemory) {
  TPNGObject Image;
  LoadBytes(Image, TPngBuilder().Header(2, 1, 8, 4).Data({0, 10, 20, 30, 40}).End().Bytes());
  const uint8_t* OldPixels = Image.Header().PixelBase;
  LOGPALETTE Logical{0x300, 1, {}};
  Image.ScratchPalette = CreatePalette(&Logical);
  TPNGObject Other;
  LoadBytes(Other, TPngBuilder().Header(2, 1, 8, 4).Data({0, 1, 2, 3, 4}).End().Bytes());
  Image.Header().AssignChunk(Other.Header());
  EXPECT_NE(Image.Header().PixelBase, OldPixels);
  EXPECT_EQ(Image.Header().ImageRow(0)[1], 3);
  EXPECT_EQ(Image.Header().AlphaRow(0)[1], 4);
  EXPECT_EQ(Image.ScratchPalette, nullptr);
  EXPECT_THROW(Image.Header().AssignChunk(TChunkIEND(nullptr)), EPngError);
}

} // namespace
