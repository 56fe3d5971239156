#include "update/progress_meter.h"

#include <gtest/gtest.h>

namespace tu {
namespace {

TEST(ProgressMeter, AtMostTenUnforcedMessagesASecondAndASmoothedSpeed) {
  double now = 1000.0;
  ProgressMeter meter([&] { return now; });
  EXPECT_TRUE(meter.update(0, false));
  now = 1000.05;
  EXPECT_FALSE(meter.update(1000000, false));
  EXPECT_TRUE(meter.update(1000000, true));  // forced: always, and restarts the interval
  now = 1000.14;
  EXPECT_FALSE(meter.update(1000000, false));
  EXPECT_EQ(meter.speed(), 0) << "a window shorter than a second changes nothing";
  now = 1002.0;
  EXPECT_TRUE(meter.update(4000000, false));
  EXPECT_EQ(meter.speed(), 2000000);  // 4,000,000 bytes in 2 s
  now = 1003.0;
  meter.update(5000000, false);
  EXPECT_EQ(meter.speed(), 1600000);  // 1,000,000 in 1 s, weighted 0.4
  now = 1004.0;
  meter.update(100, false);  // a restarted transfer counts as rate 0, never negative
  EXPECT_NEAR(meter.speed(), 0.6 * 1600000, 1e-6);
}

}  // namespace
}  // namespace tu
