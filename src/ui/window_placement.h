// Where the launcher's window goes on a monitor, as plain arithmetic on rectangles in physical
// pixels (the program is per-monitor DPI aware).
#pragma once

namespace tu {

struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const PixelRect&) const = default;
};

// The window on a monitor of `dpi` whose work area is `work`: 1000 x 620 at 96 DPI, scaled
// (rounded like MulDiv), centred in the work area (the offsets truncated), and never larger
// than the work area.
PixelRect mainWindowRect(int dpi, const PixelRect& work);

// `window` moved, and shrunk where it is larger, so that all of it lies inside `work`.
PixelRect keptInside(const PixelRect& window, const PixelRect& work);

}  // namespace tu
