// ProgressMeter: when a run's next progress message is due, and how fast its download goes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace tu {

class ProgressMeter {
 public:
  // Monotonic seconds.
  using Clock = std::function<double()>;

  // Without a clock the meter reads the steady clock; tests pass one they drive.
  explicit ProgressMeter(Clock clock = nullptr);

  double now() const { return clock_(); }
  // Takes in the bytes done so far and says whether a message is due: at most one per 0.1 s,
  // unless `force` is set.
  bool update(std::uint64_t bytesDone, bool force);
  // Bytes per second: a rate per window of at least one second, smoothed with weight 0.4 on
  // the newest window; 0 before the first window closes.
  double speed() const { return speed_; }
  // A new count of bytes begins: the estimate starts over.
  void restartSpeed();

 private:
  Clock clock_;
  double lastSent_ = 0;
  std::optional<double> windowStart_;
  std::uint64_t windowBytes_ = 0;
  double speed_ = 0;
};

}  // namespace tu
