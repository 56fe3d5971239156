#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "child_process.h"
#include "support/temp_dir.h"

namespace tu::test {

namespace fs = std::filesystem;

namespace {

// A name for the child's standard error that no other test uses.
fs::path errorFileName() {
  static int counter = 0;
  return fs::temp_directory_path() /
         ("tarn-child-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".err");
}

// The signals waiting for delivery to the whole process, from /proc.
std::uint64_t sharedPending(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("ShdPnd:", 0) == 0) return std::strtoull(line.c_str() + 7, nullptr, 16);
  }
  return 0;
}

}  // namespace

ChildProcess::ChildProcess(const fs::path& program, const std::vector<std::string>& args,
                           const ChildOptions& options) {
  start(program, args, options);
}

void ChildProcess::start(const fs::path& program, const std::vector<std::string>& args,
                         const ChildOptions& options) {
  // Everything the child needs is made before fork(): after it, the child of this threaded
  // process may only make calls that are safe in a signal handler.
  std::vector<std::string> argvText{program.string()};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvText) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string workingDir = options.workingDir.string();
  std::vector<std::string> environmentText;
  for (char** entry = environ; *entry != nullptr; ++entry) environmentText.emplace_back(*entry);
  environmentText.insert(environmentText.end(), options.environment.begin(),
                         options.environment.end());
  std::vector<char*> envp;
  for (std::string& entry : environmentText) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int outRead = -1;
  int outWrite = -1;
  if (options.terminal) {
    outRead = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(outRead, 0);
    ASSERT_EQ(grantpt(outRead), 0);
    ASSERT_EQ(unlockpt(outRead), 0);
    outWrite = open(ptsname(outRead), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(outWrite, 0);
    winsize size{};
    size.ws_col = 100;
    size.ws_row = 30;
    ioctl(outRead, TIOCSWINSZ, &size);
  } else {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    outRead = fds[0];
    outWrite = fds[1];
  }
  errFile_ = errorFileName();
  const int errFd = open(errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(errFd, 0);
  ASSERT_GE(nullFd, 0);

  pid_ = fork();
  ASSERT_GE(pid_, 0) << "fork failed";
  if (pid_ == 0) {
    dup2(nullFd, 0);
    dup2(outWrite, 1);
    dup2(errFd, 2);
    if (!workingDir.empty() && chdir(workingDir.c_str()) != 0) _exit(126);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigaction(SIGINT, &standard, nullptr);
    sigaction(SIGTERM, &standard, nullptr);
    if (options.fileSizeLimit) {
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      sigaction(SIGXFSZ, &ignore, nullptr);
      const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(outWrite);
  close(errFd);
  close(nullFd);
  reader_ = std::thread(&ChildProcess::readOutput, this, outRead);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    wait();
  }
  if (reader_.joinable()) reader_.join();
  std::error_code ec;
  fs::remove(errFile_, ec);
}

void ChildProcess::readOutput(int fd) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // the end, or EIO from a terminal nobody holds any more
    std::lock_guard<std::mutex> lock(mutex_);
    out_.append(buffer, static_cast<std::size_t>(got));
    changed_.notify_all();
  }
  close(fd);
  std::lock_guard<std::mutex> lock(mutex_);
  outEnded_ = true;
  changed_.notify_all();
}

void ChildProcess::sendSignal(int signal) {
  ASSERT_FALSE(reaped_);
  kill(pid_, signal);
}

bool ChildProcess::waitForLine(const std::function<bool(const std::string&)>& match,
                               std::size_t from, std::size_t* index) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    std::istringstream stream(out_);
    std::string line;
    std::size_t i = 0;
    while (std::getline(stream, line)) {
      if (stream.eof()) break;  // not a whole line yet
      if (i >= from && match(line)) {
        if (index != nullptr) *index = i;
        return true;
      }
      ++i;
    }
    if (outEnded_) return false;
    changed_.wait(lock);
  }
}

void ChildProcess::waitUntilDelivered(int signal) {
  const std::uint64_t bit = std::uint64_t{1} << (signal - 1);
  while (!ended() && (sharedPending(pid_) & bit) != 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

int ChildProcess::wait() {
  if (!reaped_) {
    rusage usage{};
    while (wait4(pid_, &status_, 0, &usage) < 0 && errno == EINTR) {
    }
    peakKiB_ = usage.ru_maxrss;
    reaped_ = true;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return outEnded_; });
  return status_;
}

bool ChildProcess::ended() {
  if (reaped_) return true;
  if (waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
  return reaped_;
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

int exitCodeOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int signalOf(int status) {
  return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

}  // namespace tu::test
