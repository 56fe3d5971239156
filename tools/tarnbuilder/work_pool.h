// Runs many independent jobs on a few threads while the calling thread stays free to draw
// progress.
#pragma once

#include <cstddef>
#include <functional>

namespace tu::builder {

// Runs job(0) .. job(count - 1) on up to `threads` worker threads (at least one), each taking
// the next index as it finishes the last, so jobs listed first start first. A job that returns
// false stops the others from starting new jobs. Meanwhile the calling thread calls `tick`
// (when set) about ten times a second, and once more at the end. Returns whether every job
// returned true.
bool runJobs(std::size_t count, unsigned threads, const std::function<bool(std::size_t)>& job,
             const std::function<void()>& tick);

// The number of threads to use by default: the processor count, at least 1.
unsigned defaultJobs();

}  // namespace tu::builder
