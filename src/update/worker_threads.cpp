#include "update/worker_threads.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace tu {

WorkerThreads::WorkerThreads(std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    try {
      threads_.emplace_back(&WorkerThreads::work, this);
    } catch (const std::system_error&) {
      break;  // fewer threads, or none: post() copes
    }
  }
}

WorkerThreads::~WorkerThreads() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerThreads::post(std::function<void()> job) {
  if (threads_.empty()) {
    job();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  changed_.notify_one();
}

void WorkerThreads::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, and nothing left to do
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job();
    lock.lock();
  }
}

std::size_t coreThreads(std::size_t most) {
  const std::size_t cores = std::thread::hardware_concurrency();
  return std::clamp<std::size_t>(cores, 1, std::max<std::size_t>(most, 1));
}

}  // namespace tu
