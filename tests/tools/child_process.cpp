#include <sstream>

#include "child_process.h"
#include "support/temp_dir.h"

namespace tu::test {

namespace fs = std::filesystem;

ChildProcess::ChildProcess(const fs::path& program, const std::vector<std::string>& args,
                           const ChildOptions& options) {
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
