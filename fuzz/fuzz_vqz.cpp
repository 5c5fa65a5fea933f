// libFuzzer target: VQZ containers, opened as the viewer opens them.
#include "fuzz/harness.h"
#include "png/pngimage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializePngImageUnit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  FuzzContainer(Data, Size);
  return 0;
}
