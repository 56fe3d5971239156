#include "ui/window_placement.h"

#include <algorithm>
#include <cstdint>

namespace tu {
namespace {

// MulDiv(value, dpi, 96) for the positive values here: rounded half up.
int scaled(int value, int dpi) {
  return static_cast<int>((static_cast<std::int64_t>(value) * dpi + 48) / 96);
}

}  // namespace

PixelRect mainWindowRect(int dpi, const PixelRect& work) {
  const int width = std::min(scaled(1000, dpi), work.width());
  const int height = std::min(scaled(620, dpi), work.height());
  const int left = work.left + (work.width() - width) / 2;
  const int top = work.top + (work.height() - height) / 2;
  return {left, top, left + width, top + height};
}

PixelRect keptInside(const PixelRect& window, const PixelRect& work) {
  const int width = std::min(window.width(), work.width());
  const int height = std::min(window.height(), work.height());
  const int left = std::clamp(window.left, work.left, work.right - width);
  const int top = std::clamp(window.top, work.top, work.bottom - height);
  return {left, top, left + width, top + height};
}

}  // namespace tu
