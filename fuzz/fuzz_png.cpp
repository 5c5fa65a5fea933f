// libFuzzer target: PNG streams. Built plain, and structure-aware, where every mutation has its
// chunk CRCs set right so that it reaches the image data, palette and text code; each either
// through our codec alone or against libpng, pixel for pixel.
#include "fuzz/differential.h"
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
#ifdef VQZ_FUZZ_AGAINST_LIBPNG
  FuzzPngAgainstLibpng(Data, Size);
#else
  FuzzPng(Data, Size);
#endif
  return 0;
}

#ifdef VQZ_FUZZ_FIX_CRCS
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* Data, size_t Size, size_t MaxSize, unsigned) {
  return FixPngCrcs(Data, LLVMFuzzerMutate(Data, Size, MaxSize));
}
#endif
