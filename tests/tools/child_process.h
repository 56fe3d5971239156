// A program run as a child process by a test (POSIX): its standard output read as it comes
// (from a pipe, or from a pseudo-terminal), its standard error kept, its end status.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tu::test {

struct ChildOptions {
  std::filesystem::path workingDir;  // empty: the test's own
  // RLIMIT_FSIZE for the child, with SIGXFSZ ignored so a write past it fails instead.
  std::optional<std::uint64_t> fileSizeLimit;
  bool terminal = false;  // standard output is a pseudo-terminal instead of a pipe
  std::vector<std::string> environment;  // "NAME=value" entries added to the child's own
};

class ChildProcess {
 public:
  // Starts `program` with `args`; fails the test when it cannot.
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
               const ChildOptions& options = {});
  // A child still running is killed (SIGKILL) and reaped.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  void sendSignal(int signal);
  // Waits until a whole line of standard output satisfies `match` (searching from line
  // `from`); false when output ended first. The line's index goes to `index`.
  bool waitForLine(const std::function<bool(const std::string&)>& match, std::size_t from = 0,
                   std::size_t* index = nullptr);
  // Waits until the signal no longer waits for delivery to the child (Linux /proc).
  void waitUntilDelivered(int signal);
  // Waits for the end and for the rest of its output; the wait status.
  int wait();
  // Whether the child has ended (reaped) without waiting.
  bool ended();
  // The child's peak resident memory in KiB, once wait() has returned.
  long peakMemoryKiB() const { return peakKiB_; }

  std::string out() const;                 // standard output so far
  std::vector<std::string> lines() const;  // its complete lines, without line ends
  std::string err() const;                 // standard error, complete after wait()

 private:
  void start(const std::filesystem::path& program, const std::vector<std::string>& args,
             const ChildOptions& options);
  void readOutput(int fd);

  pid_t pid_ = -1;
  int status_ = 0;
  bool reaped_ = false;
  long peakKiB_ = 0;
  std::filesystem::path errFile_;
  std::thread reader_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string out_;
  bool outEnded_ = false;
};

// The exit code of a normal end, or -1 (a signal ended it).
int exitCodeOf(int status);
// The signal that ended the child, or 0.
int signalOf(int status);

}  // namespace tu::test
