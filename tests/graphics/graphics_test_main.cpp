// Every graphics test must leave no graphics object and no screen context behind.
#include "platform/graphics/gdi.h"

#include <gtest/gtest.h>

class TLeakCheck : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo&) override {
    EXPECT_EQ(GdiLiveObjectCount(), 0) << "graphics objects leaked";
    EXPECT_EQ(GdiScreenDCCount(), 0) << "screen contexts not released";
  }
};

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new TLeakCheck);
  return RUN_ALL_TESTS();
}
