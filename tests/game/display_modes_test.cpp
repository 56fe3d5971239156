#include "game/display_modes.h"

#include <gtest/gtest.h>

namespace tu {
namespace {

TEST(Resolutions, OfferLargeTrueColourModesAndTheCurrentSizeLargestFirst) {
  const std::vector<DisplayMode> modes = {{800, 600, 16},   {1024, 768, 32}, {1920, 1080, 32},
                                          {1920, 1200, 32}, {1024, 768, 32}, {799, 600, 32},
                                          {1280, 599, 32},  {2560, 1440, 24}};
  EXPECT_EQ(resolutionList(modes, {true, 640, 480}),
            (std::vector<Resolution>{{1920, 1200}, {1920, 1080}, {1024, 768}, {640, 480}}));
}

}  // namespace
}  // namespace tu
