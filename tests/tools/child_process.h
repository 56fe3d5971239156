// A program run as a child process by a test: its standard output read as it comes (from a
// pipe, or on POSIX from a pseudo-terminal), its standard error kept, how it ended.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace tu::test {

struct ChildOptions {
  std::filesystem::path workingDir;  // empty: the test's own
  // POSIX only: RLIMIT_FSIZE for the child, with SIGXFSZ ignored so a write past it fails.
  std::optional<std::uint64_t> fileSizeLimit;
  bool terminal = false;  // POSIX only: standard output is a pseudo-terminal, not a pipe
  // POSIX only: "NAME=value" entries added to the child's own environment.
  std::vector<std::string> environment;
};

class ChildProcess {
 public:
  // Starts `program` with `args` (UTF-8); fails the test when it cannot. On Windows the child
  // starts in a process group of its own, on a console it shares with the test.
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
               const ChildOptions& options = {});
  // A child still running is killed and reaped.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // What Ctrl+C at a console does to the child: SIGINT on POSIX, a Ctrl+C event to its process
  // group on Windows.
  void interrupt();
  // POSIX only.
  void sendSignal(int signal);
  // Waits for the first whole line of standard output; false when output ended first.
  bool waitForFirstLine();
  // Waits for the end and for the rest of its output; the end status (POSIX: the wait status;
  // Windows: the exit code).
  int wait();

  std::string out() const;                 // standard output so far
  std::vector<std::string> lines() const;  // its complete lines, without line ends
  std::string err() const;                 // standard error, complete after wait()

 private:
  void start(const std::filesystem::path& program, const std::vector<std::string>& args,
             const ChildOptions& options);
  // On the reader thread: appends what `read` returns until it returns 0 (the end).
  void collectOutput(const std::function<std::size_t(char* buffer, std::size_t size)>& read);
  // Waits for the reader to see the end of the output.
  void waitForOutputEnd();

  std::intptr_t process_ = -1;  // POSIX: the process id; Windows: the process handle
  int status_ = 0;
  bool reaped_ = false;
  TempDir errDir_;  // standard error goes to a file in it, removed with it
  std::filesystem::path errFile_ = errDir_ / "stderr.txt";
  std::thread reader_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string out_;
  bool outEnded_ = false;
};

// The exit code of a normal end, or -1 (POSIX: a signal ended it).
int exitCodeOf(int status);

}  // namespace tu::test
