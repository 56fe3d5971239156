// Interrupts of a console run: the first calls `onInterrupt` (on a thread of its own; it is
// meant to ask the run to cancel), any later one ends the process at once.
//
// POSIX: SIGINT and SIGTERM. A later one ends the process by that signal's default action. The
// handler itself only counts (an atomic) and writes one byte to a pipe, both safe inside a
// signal handler; everything else happens on a watcher thread. Construct it on the main thread
// before starting other threads: it blocks the two signals, so threads started while it lives
// inherit the block, and deliver() unblocks them on the main thread only.
//
// Windows: Ctrl+C and Ctrl+Break, through a console control handler, which the system calls on
// a thread of its own. A later one ends the process with STATUS_CONTROL_C_EXIT, the status
// Windows gives a program that Ctrl+C ends. Closing the console, logging off and shutting down
// keep the system's default.
//
// One per process.
#pragma once

#include <functional>
#include <thread>

namespace tu {

class InterruptWatch {
 public:
  explicit InterruptWatch(std::function<void()> onInterrupt);
  // Stops calling `onInterrupt`; the handlers stay (the process is about to end), so a later
  // interrupt still counts.
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // Lets the calling thread (the main thread) receive the two signals; signals that arrived
  // before are delivered now. Nothing to do on Windows.
  void deliver();

 private:
  void watch();

  std::function<void()> onInterrupt_;
  std::thread watcher_;  // POSIX only
};

}  // namespace tu
