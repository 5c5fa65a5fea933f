// The codec's tests run with the units started as the program starts them, and stopped after.
// --inflater=zlib or --inflater=isal runs them on that image-data inflater instead of the build's.
#include "png/pnginflater.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>

namespace {

class TPngUnits : public testing::Environment {
public:
  void SetUp() override { InitializePngImageUnit(); }
  void TearDown() override { FinalizePngImageUnit(); }
};

} // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--inflater=", 11) != 0)
      continue;
    const bool Zlib = std::strcmp(argv[i] + 11, "zlib") == 0;
    const bool Isal = std::strcmp(argv[i] + 11, "isal") == 0;
    if ((!Zlib && !Isal) || !UseImageInflater(Zlib ? ikZlib : ikIsal)) {
      std::cerr << argv[i] << ": this build has no such inflater (zlib, isal)\n";
      return 2;
    }
  }
  testing::AddGlobalTestEnvironment(new TPngUnits);
  return RUN_ALL_TESTS();
}
