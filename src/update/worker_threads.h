// A few threads that run posted jobs, each on whichever thread is free next, in the order they
// were posted. The installer inflates the blocks of a packed file on them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tu {

class WorkerThreads {
 public:
  // Starts up to `count` threads; when the system gives none, post() runs each job at once on
  // the caller's thread, so the work is done either way.
  explicit WorkerThreads(std::size_t count);
  // Runs the jobs still queued, then ends the threads.
  ~WorkerThreads();
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  std::size_t size() const { return threads_.size(); }

  // Queues `job`. A job must not throw: it hands any failure back to whoever waits for it.
  void post(std::function<void()> job);

 private:
  void work();

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
};

// The threads worth starting for work that keeps every core busy: one per core the system
// reports (one when it reports none), at most `most`.
std::size_t coreThreads(std::size_t most);

}  // namespace tu
