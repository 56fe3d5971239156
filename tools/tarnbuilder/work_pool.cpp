#include "tarnbuilder/work_pool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace tu::builder {

bool runJobs(std::size_t count, unsigned threads, const std::function<bool(std::size_t)>& job,
             const std::function<void()>& tick) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex mutex;
  std::condition_variable finished;
  std::size_t running = 0;

  const auto work = [&] {
    for (;;) {
      if (failed.load()) break;
      const std::size_t index = next.fetch_add(1);
      if (index >= count) break;
      if (!job(index)) failed.store(true);
    }
    std::lock_guard<std::mutex> lock(mutex);
    --running;
    finished.notify_all();
  };

  const std::size_t workers = std::max<std::size_t>(1, std::min<std::size_t>(threads, count));
  std::vector<std::thread> pool;
  {
    std::lock_guard<std::mutex> lock(mutex);
    running = workers;
  }
  for (std::size_t i = 0; i < workers; ++i) pool.emplace_back(work);
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (running > 0) {
      finished.wait_for(lock, std::chrono::milliseconds(100));
      if (running > 0 && tick) {
        lock.unlock();
        tick();
        lock.lock();
      }
    }
  }
  for (std::thread& thread : pool) thread.join();
  if (tick) tick();
  return !failed.load();
}

unsigned defaultJobs() {
  return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace tu::builder
