// SIGINT and SIGTERM for a console run: the first one calls `onInterrupt` (on a watcher thread
// of its own; it is meant to ask the run to cancel), any later one ends the process at once, by
// that signal's default action.
//
// The handler itself only counts (an atomic) and writes one byte to a pipe, both safe inside a
// signal handler; everything else happens on the watcher. Construct it on the main thread
// before starting other threads: it blocks the two signals, so threads started while the
// returned guard lives inherit the block, and deliver() unblocks them on the main thread only.
// One per process.
#pragma once

#include <functional>
#include <thread>

namespace tu {

class InterruptWatch {
 public:
  explicit InterruptWatch(std::function<void()> onInterrupt);
  // Stops the watcher; the handlers stay (the process is about to end).
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // Lets the calling thread (the main thread) receive the two signals; signals that arrived
  // before are delivered now.
  void deliver();

 private:
  void watch();

  std::function<void()> onInterrupt_;
  std::thread watcher_;
};

}  // namespace tu
