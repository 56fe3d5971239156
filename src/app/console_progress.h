// What a person sees of one update run in a console, made from the page messages the run
// posts ("phase", "progress", "done"). On a terminal: one live line redrawn in place (phase, a
// bar, percentage, file, sizes, speed, time left), then the result in plain words. Elsewhere
// (a log, a pipe): a line per phase and the result line only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/json.h"

namespace tu {

class ConsoleProgress {
 public:
  // Writes and flushes one piece of output.
  using Writer = std::function<void(std::string_view text)>;

  // `width`: the terminal's columns (values below 40 count as 80: unknown).
  ConsoleProgress(Writer write, bool live, int width);

  // One page message; other types are ignored.
  void show(const Json& message);
  // The player asked to stop: says so on the live line (nothing elsewhere).
  void showCancelling();
  // Clears a live line still drawn (the run ended without a "done").
  void finish();

 private:
  void draw(const std::string& line);

  Writer write_;
  bool live_;
  int width_;
  int drawnColumns_ = 0;  // of the live line on screen; 0: none
  bool cancelling_ = false;
};

// "0 B", "1023 B", "1.5 KiB", "12.3 MiB", "2.00 GiB".
std::string sizeText(std::uint64_t bytes);
// "0:05", "12:34", "1:02:03"; "--:--" for a time not worth showing (negative, over 99 hours).
std::string durationText(double seconds);
// The live line for a progress message, at most `width` columns (counted in code points).
std::string progressLine(const Json& progress, int width);
// "Fetching the manifest", "Updating the launcher", "Checking files", "Downloading".
std::string phaseText(std::string_view phase);
// The result of a run in plain words, from its "done" message (no line end).
std::string resultText(const Json& done);

}  // namespace tu
