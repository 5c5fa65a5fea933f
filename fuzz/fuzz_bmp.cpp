// libFuzzer target: Windows bitmap files, loaded and imported into a PNG image.
#include "fuzz/harness.h"
#include "png/pngimage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializePngImageUnit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  FuzzBitmap(Data, Size);
  return 0;
}
