#include "ui/window_placement.h"

#include <gtest/gtest.h>

namespace tu {
namespace {

TEST(WindowPlacement, TheWindowScalesWithTheMonitorAndFitsItsWorkArea) {
  const PixelRect fullHd{0, 0, 1920, 1040};
  EXPECT_EQ(mainWindowRect(96, fullHd), (PixelRect{460, 210, 1460, 830}));
  EXPECT_EQ(mainWindowRect(144, fullHd), (PixelRect{210, 55, 1710, 985}));
  // 125 % on a small laptop: 1250 x 775 does not fit 728 pixels of height.
  EXPECT_EQ(mainWindowRect(120, PixelRect{0, 0, 1366, 728}), (PixelRect{58, 0, 1308, 728}));
  // A second monitor left of the primary one.
  EXPECT_EQ(mainWindowRect(96, PixelRect{-1280, 0, 0, 984}), (PixelRect{-1140, 182, -140, 802}));
}

TEST(WindowPlacement, AWindowIsMovedBackAndShrunkIntoTheWorkArea) {
  const PixelRect work{0, 0, 1366, 728};
  EXPECT_EQ(keptInside(PixelRect{100, 50, 1100, 670}, work), (PixelRect{100, 50, 1100, 670}));
  EXPECT_EQ(keptInside(PixelRect{900, -40, 1900, 580}, work), (PixelRect{366, 0, 1366, 620}));
  EXPECT_EQ(keptInside(PixelRect{-300, 100, 1200, 1030}, work), (PixelRect{0, 0, 1366, 728}));
}

}  // namespace
}  // namespace tu
