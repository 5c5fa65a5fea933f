// What the fuzz targets do with one input. The same functions replay the regression files in
// the test suite, so every finding stays tested in the normal builds too.
#pragma once

#include "png/pngbyteorder.h"

#include <cstddef>
#include <cstdint>
#include <string>

class TMemoryStream;

// Images declaring more pixels than this are passed over: the fuzzer's memory limit, not the
// codec's, would end the run. The codec's own limits are tested at full size in the suite.
constexpr uint64_t MaxFuzzedPixels = uint64_t{1} << 20;
// The pixels a PNG stream's first chunk declares, if it is a header; else 0.
uint64_t DeclaredPngPixels(const uint8_t* Data, size_t Size);
// The pixels a Windows bitmap file's header declares; 0 if it is too short to say.
uint64_t DeclaredBitmapPixels(const uint8_t* Data, size_t Size);

// A finding aborts: an exception outside the expected classes, or a second load that differs.
// PNG: load; on success draw, convert to a bitmap, read every pixel, save, load again.
void FuzzPng(const uint8_t* Data, size_t Size);
// Windows bitmap file: load; on success import into a PNG image.
void FuzzBitmap(const uint8_t* Data, size_t Size);
// VQZ container, written to a file: the viewer's loading of it into a bitmap.
void FuzzContainer(const uint8_t* Data, size_t Size);

// Reports a finding on standard error and aborts, so that libFuzzer keeps the input.
[[noreturn]] void Finding(const std::string& What);

uint32_t LittleEndian32(const uint8_t* Bytes);

// Stream holding the input, positioned at its start.
TMemoryStream& Filled(TMemoryStream& Stream, const uint8_t* Data, size_t Size);

// Sets every chunk's CRC to the one its type and body give, so that mutations reach the code
// behind the CRC check. Returns Size.
size_t FixPngCrcs(uint8_t* Data, size_t Size);
