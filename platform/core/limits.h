// Every limit on what an input may make the program allocate or decode, in one place. Files come
// from anywhere: each of these bounds the work a damaged or hostile one can cause.
#pragma once

#include <cstddef>
#include <cstdint>

// The largest picture a VQZ container may hold: the platform's streams count in signed 32 bits.
constexpr int64_t MaxContainerPictureBytes = INT32_MAX;

// The largest DIB section, as on the 32-bit platform; image memory is one such section (and an
// alpha plane of a quarter or a third of it).
constexpr int64_t MaxDIBSectionBytes = INT32_MAX;

// Run-length bitmap files can describe many pixels in few bytes; they are refused beyond this.
// Other bitmap files must hold every byte of their pixels, so the file's size bounds them.
constexpr int64_t MaxRleBitmapPixels = int64_t{1} << 28;

// Compressed text is inflated to at most this much per zTXt chunk and per image; a text over
// either limit is kept compressed, as read, and written back unchanged.
constexpr size_t MaxZtxtChunkText = size_t{8} << 20;
constexpr size_t MaxZtxtImageText = size_t{32} << 20;

// zlib's largest block is a few hundred KiB (the deflate window and hash tables); a request far
// beyond that is a damaged one, refused before the heap sees it.
constexpr size_t MaxZlibBlockBytes = size_t{1} << 30;
