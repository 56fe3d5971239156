// The console front end's main thread: a queue of what the update worker posts (the launcher's
// window messages), plus a flag an interrupt raises, so that the main thread alone talks to the
// update controller.
//
// Threads: post() and interrupt() from any thread; take() on the main thread only.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>

#include "core/main_thread.h"

namespace tu {

class ConsoleQueue : public MainThread {
 public:
  struct Event {
    bool interrupt = false;  // when set, `message` is empty
    MainMessage message;
  };

  bool post(MainMessage message) override;
  // Asks the main thread to cancel the run; several calls before take() count once.
  void interrupt();
  // Waits for the next event: an interrupt first, else the oldest posted message.
  Event take();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<MainMessage> messages_;
  bool interrupted_ = false;
};

}  // namespace tu
