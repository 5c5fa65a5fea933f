// The viewer's tests run the real framework on the toolkit's offscreen platform, with the units
// started as the program starts them.
#include "platform/forms/forms.h"
#include "png/pngimage.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  testing::InitGoogleTest(&argc, argv);
  TApplication TheApplication;
  Application = &TheApplication;
  InitializePngImageUnit();
  TheApplication.Initialize(argc, argv);
  const int Status = RUN_ALL_TESTS();
  FinalizePngImageUnit();
  Application = nullptr;
  return Status;
}
