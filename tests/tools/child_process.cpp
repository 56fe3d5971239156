#include <atomic>
#include <random>
#include <sstream>

#include "child_process.h"
#include "support/temp_dir.h"

namespace tu::test {

namespace fs = std::filesystem;

namespace {

// A name for a child's standard error that no other test, in this program or another one
// running beside it, uses.
fs::path errorFileName() {
  static std::atomic<unsigned> counter{0};
  static const unsigned processTag = std::random_device{}();
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) base = fs::current_path();
  return base / ("tarn-child-" + std::to_string(processTag) + "-" + std::to_string(counter++) +
                 ".err");
}

}  // namespace

ChildProcess::ChildProcess(const fs::path& program, const std::vector<std::string>& args,
                           const ChildOptions& options) {
  errFile_ = errorFileName();
  start(program, args, options);
}

void ChildProcess::collectOutput(const std::function<std::size_t(char*, std::size_t)>& read) {
  char buffer[65536];
  for (;;) {
    const std::size_t got = read(buffer, sizeof buffer);
    if (got == 0) break;
    std::lock_guard<std::mutex> lock(mutex_);
    out_.append(buffer, got);
    changed_.notify_all();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  outEnded_ = true;
  changed_.notify_all();
}

void ChildProcess::waitForOutputEnd() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return outEnded_; });
}

bool ChildProcess::waitForFirstLine() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return outEnded_ || out_.find('\n') != std::string::npos; });
  return out_.find('\n') != std::string::npos;
}

std::string ChildProcess::out() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return out_;
}

std::vector<std::string> ChildProcess::lines() const {
  std::vector<std::string> result;
  std::istringstream stream(out());
  std::string line;
  while (std::getline(stream, line)) {
    if (stream.eof()) break;
    result.push_back(line);
  }
  return result;
}

std::string ChildProcess::err() const {
  return readTestFile(errFile_);
}

}  // namespace tu::test
