// A one-line progress bar on standard error, redrawn in place with a carriage return; drawn
// only when standard error is a terminal, so logs and pipes get just the final summary.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

namespace tu::builder {

class ProgressBar {
 public:
  // `label` starts the line ("packing", "checking"). Draws nothing when `enabled` is false.
  ProgressBar(std::ostream& out, std::string label, bool enabled, int columns);
  ~ProgressBar();

  void update(std::size_t filesDone, std::size_t filesTotal, std::uint64_t bytesDone,
              std::uint64_t bytesTotal);
  // Clears the line, so what is printed next starts on a clean one.
  void finish();

 private:
  std::ostream& out_;
  std::string label_;
  bool enabled_;
  int columns_;
  bool drawn_ = false;
  std::size_t drawnLength_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// "1.5 GiB", "12.0 MiB", "512 B".
std::string formatBytes(std::uint64_t bytes);

}  // namespace tu::builder
