#include "png/pngimage.h"
#include "png/pnglang.h"
#include "png/pngzlib.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <tuple>
#include <type_traits>

namespace {

// The texts are an interface: each is written out here byte for byte, typos and all.
const std::pair<TPngMessageId, const char*> ExpectedTexts[] = {
    {65504, "Some operation could not be performed because the system is out of resources. Close "
            "some windows and try again."},
    {65505, "This operation is not valid because the current image contains no valid header."},
    {65520, "This \"Portable Network Graphics\" image is not valid because it contains invalid "
            "pieces of data (crc error)"},
    {65521, "The \"Portable Network Graphics\" image could not be loaded because one of its main "
            "piece of data (ihdr) might be corrupted"},
    {65522, "This \"Portable Network Graphics\" image is invalid because it has missing image "
            "parts."},
    {65523, "Could not decompress the image because it contains invalid compressed data.\r\n "
            "Description: "},
    {65524, "The \"Portable Network Graphics\" image contains an invalid palette."},
    {65525, "The file being readed is not a valid \"Portable Network Graphics\" image because it "
            "contains an invalid header. This file may be corruped, try obtaining it again."},
    {65526, "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n"
            "(IHDR chunk is not the first)"},
    {65527, "This \"Portable Network Graphics\" image is not supported because either it's width "
            "or height exceeds the maximum size, which is 65535 pixels length."},
    {65528, "There is no such palette entry."},
    {65529, "This \"Portable Network Graphics\" image contains an unknown critical part which "
            "could not be decoded."},
    {65530, "This \"Portable Network Graphics\" image is encoded with an unknown compression "
            "scheme which could not be decoded."},
    {65531, "This \"Portable Network Graphics\" image uses an unknown interlace scheme which "
            "could not be decoded."},
    {65532, "The chunks must be compatible to be assigned."},
    {65533, "This \"Portable Network Graphics\" image is invalid because the decoder found an "
            "unexpected end of the file."},
    {65534, "This \"Portable Network Graphics\" image contains no data."},
    {65535, "The \"Portable Network Graphics\" image can not be resize by changing width and "
            "height properties. Try assigning the image from a bitmap."},
};

TEST(Messages, AreTheEighteenTextsByIdExactly) {
  for (const auto& [Id, Text] : ExpectedTexts)
    EXPECT_EQ(PngMessage(Id), Text) << Id;
}

TEST(Messages, AnUnknownIdHasNoText) {
  for (const TPngMessageId Id : {0, 65503, 65506, 65519})
    EXPECT_EQ(PngMessage(Id), "") << Id;
}

using TPngExceptions =
    std::tuple<EPNGOutMemory, EPngError, EPngUnexpectedEnd, EPngInvalidCRC, EPngInvalidIHDR,
               EPNGMissingMultipleIDAT, EPNGZLIBError, EPNGInvalidPalette, EPNGInvalidFileHeader,
               EPNGIHDRNotFirst, EPNGSizeExceeds, EPNGUnknownCriticalChunk, EPNGUnknownCompression,
               EPNGUnknownInterlace, EPNGNoImageData, EPNGHeaderNotPresent>;

template <class E, class... Others>
constexpr bool IsSiblingOfAll(std::tuple<Others...>*) {
  return std::is_base_of_v<Exception, E> &&
         ((std::is_same_v<E, Others> || !std::is_base_of_v<E, Others>)&&...);
}

template <class... All>
constexpr bool AllSiblings(std::tuple<All...>* Classes) {
  return (IsSiblingOfAll<All>(Classes) && ...);
}

static_assert(std::tuple_size_v<TPngExceptions> == 16);
static_assert(AllSiblings(static_cast<TPngExceptions*>(nullptr)),
              "every PNG exception descends from Exception and none from another");

TEST(ZlibMessage, IsTheTextFollowedByTheCodesDescription) {
  EXPECT_EQ(MessageOf<EPNGZLIBError>([] { RaiseZlibError(Z_DATA_ERROR); }),
            "Could not decompress the image because it contains invalid compressed data.\r\n "
            "Description: data error (-3)");
}

} // namespace
