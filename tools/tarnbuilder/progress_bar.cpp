#include "tarnbuilder/progress_bar.h"

#include <algorithm>
#include <cstdio>

namespace tu::builder {

ProgressBar::ProgressBar(std::ostream& out, std::string label, bool enabled, int columns)
    : out_(out), label_(std::move(label)), enabled_(enabled), columns_(columns) {}

ProgressBar::~ProgressBar() {
  finish();
}

void ProgressBar::update(std::size_t filesDone, std::size_t filesTotal, std::uint64_t bytesDone,
                         std::uint64_t bytesTotal) {
  if (!enabled_) return;
  const double fraction =
      bytesTotal > 0 ? static_cast<double>(bytesDone) / static_cast<double>(bytesTotal)
                     : (filesTotal > 0 ? static_cast<double>(filesDone) / filesTotal : 1.0);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::string percent = std::to_string(static_cast<int>(fraction * 100)) + "%";
  percent.insert(0, 4 - std::min<std::size_t>(4, percent.size()), ' ');
  std::string line = label_ + " ";
  std::string rest = " " + percent + "  " + std::to_string(filesDone) + "/" +
                     std::to_string(filesTotal) + " files  " + formatBytes(bytesDone) + "/" +
                     formatBytes(bytesTotal);
  if (seconds >= 1 && bytesDone > 0) {
    rest += "  " + formatBytes(static_cast<std::uint64_t>(bytesDone / seconds)) + "/s";
  }
  // The bar takes what the text leaves, between 10 and 40 cells; one column stays free so
  // the terminal never wraps.
  const int room = columns_ - 1 - static_cast<int>(line.size() + rest.size()) - 2;
  const int cells = std::min(40, room);
  if (cells >= 10) {
    const int full = std::clamp(static_cast<int>(fraction * cells), 0, cells);
    line += "[" + std::string(static_cast<std::size_t>(full), '#') +
            std::string(static_cast<std::size_t>(cells - full), '-') + "]";
  }
  line += rest;
  if (static_cast<int>(line.size()) > columns_ - 1) line.resize(std::max(0, columns_ - 1));
  // Spaces rather than an erase sequence: older Windows consoles print those literally.
  const std::size_t length = line.size();
  if (line.size() < drawnLength_) line.append(drawnLength_ - line.size(), ' ');
  out_ << '\r' << line << std::flush;
  drawnLength_ = length;
  drawn_ = true;
}

void ProgressBar::finish() {
  if (!drawn_) return;
  out_ << '\r' << std::string(drawnLength_, ' ') << '\r' << std::flush;
  drawn_ = false;
  drawnLength_ = 0;
}

std::string formatBytes(std::uint64_t bytes) {
  static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024 && unit < 4) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  if (unit == 0)
    std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
  else
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

}  // namespace tu::builder
