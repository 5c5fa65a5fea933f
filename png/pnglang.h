// The PNG codec's message texts, looked up by id when an error is raised. The texts are part of
// the program's interface: they are shown to users exactly as they stand here.
#pragma once

#include <cstdint>
#include <string>

using TPngMessageId = uint16_t;

constexpr TPngMessageId MsgOutOfResources = 65504;
constexpr TPngMessageId MsgNoHeader = 65505;
constexpr TPngMessageId MsgInvalidCRC = 65520;
constexpr TPngMessageId MsgInvalidIHDR = 65521;
constexpr TPngMessageId MsgMissingIDAT = 65522;
constexpr TPngMessageId MsgZlibError = 65523;
constexpr TPngMessageId MsgInvalidPalette = 65524;
constexpr TPngMessageId MsgInvalidFileHeader = 65525;
constexpr TPngMessageId MsgIHDRNotFirst = 65526;
constexpr TPngMessageId MsgSizeExceeds = 65527;
constexpr TPngMessageId MsgNoSuchPaletteEntry = 65528;
constexpr TPngMessageId MsgUnknownCriticalChunk = 65529;
constexpr TPngMessageId MsgUnknownCompression = 65530;
constexpr TPngMessageId MsgUnknownInterlace = 65531;
constexpr TPngMessageId MsgIncompatibleChunks = 65532;
constexpr TPngMessageId MsgUnexpectedEnd = 65533;
constexpr TPngMessageId MsgNoImageData = 65534;
constexpr TPngMessageId MsgCannotResize = 65535;

// The text of a message id; an id outside the table gives the empty text.
std::string PngMessage(TPngMessageId Id);
