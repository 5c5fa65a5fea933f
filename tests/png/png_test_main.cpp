// The codec's tests run with the units started as the program starts them, and stopped after.
#include "png/pngimage.h"

#include <gtest/gtest.h>

namespace {

class TPngUnits : public testing::Environment {
public:
  void SetUp() override { InitializePngImageUnit(); }
  void TearDown() override { FinalizePngImageUnit(); }
};

} // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new TPngUnits);
  return RUN_ALL_TESTS();
}
