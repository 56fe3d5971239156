#include "game/display_modes.h"

#include <functional>
#include <set>

namespace tu {

std::vector<Resolution> resolutionList(const std::vector<DisplayMode>& modes,
                                       const DisplayOptions& current) {
  std::set<Resolution, std::greater<Resolution>> sizes;
  for (const DisplayMode& mode : modes) {
    if (mode.width >= 800 && mode.height >= 600 && mode.bitsPerPixel >= 32) {
      sizes.emplace(mode.width, mode.height);
    }
  }
  sizes.emplace(current.width, current.height);
  return {sizes.begin(), sizes.end()};
}

}  // namespace tu
