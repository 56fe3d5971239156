#include "app/console_queue.h"

#include <utility>

namespace tu {

bool ConsoleQueue::post(MainMessage message) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(std::move(message));
  }
  changed_.notify_one();
  return true;
}

void ConsoleQueue::interrupt() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = true;
  }
  changed_.notify_one();
}

ConsoleQueue::Event ConsoleQueue::take() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return interrupted_ || !messages_.empty(); });
  Event event;
  if (interrupted_) {
    interrupted_ = false;
    event.interrupt = true;
    return event;
  }
  event.message = std::move(messages_.front());
  messages_.pop_front();
  return event;
}

}  // namespace tu
