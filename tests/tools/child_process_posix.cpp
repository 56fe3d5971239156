#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "child_process.h"

namespace tu::test {

namespace fs = std::filesystem;

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
  const int errFd = open(errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(errFd, 0);
  ASSERT_GE(nullFd, 0);

  const pid_t pid = fork();
  ASSERT_GE(pid, 0) << "fork failed";
  if (pid == 0) {
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
  process_ = pid;
  close(outWrite);
  close(errFd);
  close(nullFd);
  reader_ = std::thread([this, outRead] {
    collectOutput([outRead](char* buffer, std::size_t size) -> std::size_t {
      for (;;) {
        const ssize_t got = read(outRead, buffer, size);
        if (got < 0 && errno == EINTR) continue;
        // The end, or EIO from a terminal nobody holds any more.
        return got > 0 ? static_cast<std::size_t>(got) : 0;
      }
    });
    close(outRead);
  });
}

ChildProcess::~ChildProcess() {
  if (process_ > 0 && !reaped_) {
    kill(static_cast<pid_t>(process_), SIGKILL);
    wait();
  }
  if (reader_.joinable()) reader_.join();
}

void ChildProcess::interrupt() {
  sendSignal(SIGINT);
}

void ChildProcess::sendSignal(int signal) {
  ASSERT_FALSE(reaped_);
  kill(static_cast<pid_t>(process_), signal);
}

int ChildProcess::wait() {
  if (!reaped_) {
    while (waitpid(static_cast<pid_t>(process_), &status_, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
  }
  waitForOutputEnd();
  return status_;
}

int exitCodeOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tu::test
