#include "update/progress_meter.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace tu {

namespace {

double steadySeconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) /
         1e9;
}

}  // namespace

ProgressMeter::ProgressMeter(Clock clock)
    : clock_(clock ? std::move(clock) : Clock(steadySeconds)) {}

bool ProgressMeter::update(std::uint64_t bytesDone, bool force) {
  const double t = clock_();
  if (!windowStart_) {
    windowBytes_ = bytesDone;
    windowStart_ = t;
  } else if (t - *windowStart_ >= 1.0) {
    // A transfer that restarted from 0 shrinks bytesDone: that window counts as rate 0.
    const std::uint64_t gained = bytesDone - std::min(windowBytes_, bytesDone);
    const double rate = static_cast<double>(gained) / (t - *windowStart_);
    speed_ = speed_ == 0 ? rate : 0.4 * rate + 0.6 * speed_;
    windowBytes_ = bytesDone;
    windowStart_ = t;
  }
  if (!force && t - lastSent_ < 0.1) return false;
  lastSent_ = t;
  return true;
}

void ProgressMeter::restartSpeed() {
  windowStart_.reset();
  speed_ = 0;
}

}  // namespace tu
