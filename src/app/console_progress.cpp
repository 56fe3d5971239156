#include "app/console_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "update/run_end.h"

namespace tu {

namespace {

// The bar gives way to the figures on terminals narrower than 100 columns.
constexpr int kBarWidth = 20;
constexpr int kNarrowBarWidth = 10;
constexpr int kWideColumns = 100;
constexpr int kDefaultWidth = 80;

// Columns of a UTF-8 text, counted as code points (close enough for paths and our labels).
int columns(std::string_view text) {
  int count = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

// The last `room` columns of `text`, led by "..." when something was cut.
std::string tail(std::string_view text, int room) {
  if (columns(text) <= room) return std::string(text);
  if (room <= 3) return std::string(static_cast<std::size_t>(std::max(room, 0)), '.');
  int keep = room - 3;
  std::size_t start = text.size();
  while (start > 0 && keep > 0) {
    --start;
    if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80) --keep;
  }
  return "..." + std::string(text.substr(start));
}

std::uint64_t number(const Json& message, std::string_view key) {
  const Json& value = message.get(key);
  if (!value.isNumber() || !(value.asNumber() > 0)) return 0;
  return static_cast<std::uint64_t>(std::min(value.asNumber(), 1.8e19));
}

std::string liveLabel(std::string_view phase) {
  if (phase == "manifest") return "Manifest";
  if (phase == "selfupdate") return "Launcher";
  if (phase == "check") return "Checking";
  if (phase == "download") return "Downloading";
  return std::string(phase);
}

std::string withBuild(const std::string& text, const std::string& build) {
  return build.empty() ? text + "." : text + " (build " + build + ").";
}

std::string withDetail(const std::string& text, const std::string& detail) {
  return detail.empty() ? text + "." : text + ": " + detail;
}

}  // namespace

std::string sizeText(std::uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text,
                value < 10    ? "%.2f %s"
                : value < 100 ? "%.1f %s"
                              : "%.0f %s",
                value, units[unit]);
  return text;
}

std::string durationText(double seconds) {
  if (!(seconds >= 0) || seconds >= 99 * 3600.0) return "--:--";
  const auto whole = static_cast<long>(std::ceil(seconds));
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  }
  return text;
}

std::string progressLine(const Json& progress, int width) {
  const std::string phase = progress.getString("phase");
  const std::string file = progress.getString("file");
  const std::uint64_t done = number(progress, "bytesDone");
  const std::uint64_t total = number(progress, "bytesTotal");
  const std::uint64_t filesDone = number(progress, "filesDone");
  const std::uint64_t filesTotal = number(progress, "filesTotal");
  const double speed = progress.get("speed").isNumber() ? progress.get("speed").asNumber() : 0;

  double fraction = 1;
  if (total > 0) {
    fraction = static_cast<double>(std::min(done, total)) / static_cast<double>(total);
  } else if (filesTotal > 0) {
    fraction =
        static_cast<double>(std::min(filesDone, filesTotal)) / static_cast<double>(filesTotal);
  }
  const int barWidth = width >= kWideColumns ? kBarWidth : kNarrowBarWidth;
  const int filled = static_cast<int>(fraction * barWidth);
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100));

  std::string label = liveLabel(phase);
  label.resize(std::max<std::size_t>(label.size(), 11), ' ');
  const std::string head = label + " [" + std::string(static_cast<std::size_t>(filled), '#') +
                           std::string(static_cast<std::size_t>(barWidth - filled), '-') + "] " +
                           percent;

  // What follows the file, most important first; dropped from the end when the line is short.
  std::vector<std::string> extras;
  extras.push_back(sizeText(done) + " / " + sizeText(total));
  if (phase == "download" && speed > 0) {
    extras.push_back(sizeText(static_cast<std::uint64_t>(speed)) + "/s");
    extras.push_back(durationText(static_cast<double>(total - std::min(done, total)) / speed) +
                     " left");
  }

  // One column stays free: some terminals wrap when the last one is written.
  const int room = std::max(width, 40) - 1;
  constexpr int kMinFile = 10;
  for (;;) {
    int used = columns(head);
    for (const std::string& extra : extras) used += 2 + columns(extra);
    const int fileRoom = room - used - 2;
    if (fileRoom >= kMinFile || extras.empty()) {
      std::string line = head;
      if (fileRoom > 0 && !file.empty()) line += "  " + tail(file, fileRoom);
      for (const std::string& extra : extras) line += "  " + extra;
      return columns(line) <= room ? line : tail(line, room);
    }
    extras.pop_back();
  }
}

std::string phaseText(std::string_view phase) {
  if (phase == "manifest") return "Fetching the manifest";
  if (phase == "selfupdate") return "Updating the launcher";
  if (phase == "check") return "Checking files";
  if (phase == "download") return "Downloading";
  return std::string(phase);
}

std::string resultText(const Json& done) {
  const std::string word = done.getString("code");
  const std::string detail = done.getString("detail");
  const std::string build = done.getString("build");
  const std::optional<EndCode> code = endCodeFromText(word);
  if (!code) return withDetail("Ended with \"" + word + "\"", detail);
  switch (*code) {
    case EndCode::UpToDate: return withBuild("Up to date", build);
    case EndCode::Updated: return withBuild("Updated", build);
    case EndCode::Offline: return withDetail("Cannot reach the update server", detail);
    case EndCode::BadSignature:
    case EndCode::BadManifest: return withDetail("Manifest rejected", detail);
    case EndCode::NoConfig: return withDetail("Updating is not set up", detail);
    case EndCode::Failed: return withDetail("Update failed", detail);
    case EndCode::Cancelled:
      // Without canPlay the download stopped half way: the client is not fit to play.
      return done.getBool("canPlay", true)
                 ? std::string("Cancelled.")
                 : std::string("Cancelled during a download; run again to complete the update.");
  }
  return withDetail("Update failed", detail);
}

ConsoleProgress::ConsoleProgress(Writer write, bool live, int width)
    : write_(std::move(write)), live_(live), width_(width >= 40 ? width : kDefaultWidth) {}

void ConsoleProgress::draw(const std::string& line) {
  // Carriage return, the line, then spaces over whatever a longer previous line left to its
  // right: spaces rather than an erase sequence, which Windows consoles before Windows 10 (and
  // Wine's) print literally.
  const int length = columns(line);
  std::string text = "\r" + line;
  if (length < drawnColumns_) text.append(static_cast<std::size_t>(drawnColumns_ - length), ' ');
  write_(text);
  drawnColumns_ = length;
}

void ConsoleProgress::show(const Json& message) {
  const std::string type = message.getString("type");
  if (type == "phase") {
    const std::string text = phaseText(message.getString("phase"));
    if (live_) {
      draw(text + (cancelling_ ? " (cancelling)" : "..."));
    } else {
      write_(text + "\n");
    }
  } else if (type == "progress") {
    if (live_ && !cancelling_) draw(progressLine(message, width_));
  } else if (type == "done") {
    finish();
    write_(resultText(message) + "\n");
  }
}

void ConsoleProgress::showCancelling() {
  cancelling_ = true;
  if (live_) draw("Cancelling... (press Ctrl-C again to quit at once)");
}

void ConsoleProgress::finish() {
  if (drawnColumns_ == 0) return;
  write_("\r" + std::string(static_cast<std::size_t>(drawnColumns_), ' ') + "\r");
  drawnColumns_ = 0;
}

}  // namespace tu
