// libFuzzer target: PNG streams. Built twice: plain, and structure-aware, where every mutation
// has its chunk CRCs set right so that it reaches the image data, palette and text code.
#include "fuzz/harness.h"
#include "png/pngimage.h"

#include <cstddef>
#include <cstdint>

extern "C" size_t LLVMFuzzerMutate(uint8_t* Data, size_t Size, size_t MaxSize);

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializePngImageUnit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  FuzzPng(Data, Size);
  return 0;
}

#ifdef VQZ_FUZZ_FIX_CRCS
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* Data, size_t Size, size_t MaxSize, unsigned) {
  return FixPngCrcs(Data, LLVMFuzzerMutate(Data, Size, MaxSize));
}
#endif
