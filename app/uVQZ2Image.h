// The VQZ container reader: finds the picture embedded in a VQZ file and copies it out.
// A VQZ file holds at offset 16 one byte, the offset at which a BMP or PNG picture begins; the
// picture runs to the end of the file. This is the only code that knows the container.
#pragma once

#include "platform/core/classes.h"

#include <cstdint>
#include <string>

using EmbeddedImageKind = uint8_t;
constexpr EmbeddedImageKind eikNone = 0;
constexpr EmbeddedImageKind eikBitmap = 1;
constexpr EmbeddedImageKind eikPNG = 2;

using ExtractResult = int32_t;
constexpr ExtractResult erExtracted = 0;
constexpr ExtractResult erNoFile = -1;
constexpr ExtractResult erTooShort = -2;
constexpr ExtractResult erOffsetDoesNotFit = -3;
constexpr ExtractResult erNoPicture = -4;

// Copies the embedded picture into Destination (passed empty) and positions it at 0, setting Kind
// to 1 (BMP) or 2 (PNG). On a negative result Destination is not touched and Kind is undefined.
// Errors of the file itself (unreadable, shrinking while read) pass through as the file stream's
// exceptions; the file is closed on every path.
ExtractResult ExtractEmbeddedImage(const std::string& Path, TMemoryStream& Destination,
                                   EmbeddedImageKind& Kind);

// A picture must be a positive signed 32-bit byte count: pictures of 2 GiB or more are refused.
bool PictureSizeFits(int64_t PictureSize);

// The sentence for each way the reader rejects a file, for people who gave that file by name.
std::string ExtractResultText(ExtractResult Result);
