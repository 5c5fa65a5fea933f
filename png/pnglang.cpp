#include "png/pnglang.h"

#include <array>
#include <utility>

namespace {

using TMessageEntry = std::pair<TPngMessageId, const char*>;

// The typos ("readed", "corruped", "it's", "resize") are the program's own and stay.
constexpr std::array<TMessageEntry, 18> MessageTable{{
    {MsgOutOfResources, "Some operation could not be performed because the system is out of "
                        "resources. Close some windows and try again."},
    {MsgNoHeader,
     "This operation is not valid because the current image contains no valid header."},
    {MsgInvalidCRC, "This \"Portable Network Graphics\" image is not valid because it contains "
                    "invalid pieces of data (crc error)"},
    {MsgInvalidIHDR, "The \"Portable Network Graphics\" image could not be loaded because one of "
                     "its main piece of data (ihdr) might be corrupted"},
    {MsgMissingIDAT,
     "This \"Portable Network Graphics\" image is invalid because it has missing image parts."},
    {MsgZlibError,
     "Could not decompress the image because it contains invalid compressed data.\r\n "
     "Description: "},
    {MsgInvalidPalette, "The \"Portable Network Graphics\" image contains an invalid palette."},
    {MsgInvalidFileHeader,
     "The file being readed is not a valid \"Portable Network Graphics\" image because it "
     "contains an invalid header. This file may be corruped, try obtaining it again."},
    {MsgIHDRNotFirst, "This \"Portable Network Graphics\" image is not supported or it might be "
                      "invalid.\r\n(IHDR chunk is not the first)"},
    {MsgSizeExceeds, "This \"Portable Network Graphics\" image is not supported because either "
                     "it's width or height exceeds the maximum size, which is 65535 pixels "
                     "length."},
    {MsgNoSuchPaletteEntry, "There is no such palette entry."},
    {MsgUnknownCriticalChunk, "This \"Portable Network Graphics\" image contains an unknown "
                              "critical part which could not be decoded."},
    {MsgUnknownCompression, "This \"Portable Network Graphics\" image is encoded with an unknown "
                            "compression scheme which could not be decoded."},
    {MsgUnknownInterlace, "This \"Portable Network Graphics\" image uses an unknown interlace "
                          "scheme which could not be decoded."},
    {MsgIncompatibleChunks, "The chunks must be compatible to be assigned."},
    {MsgUnexpectedEnd, "This \"Portable Network Graphics\" image is invalid because the decoder "
                       "found an unexpected end of the file."},
    {MsgNoImageData, "This \"Portable Network Graphics\" image contains no data."},
    {MsgCannotResize, "The \"Portable Network Graphics\" image can not be resize by changing "
                      "width and height properties. Try assigning the image from a bitmap."},
}};

} // namespace

std::string PngMessage(TPngMessageId Id) {
  for (const auto& [EntryId, Text] : MessageTable)
    if (EntryId == Id)
      return Text;
  return {};
}
