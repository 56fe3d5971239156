#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

#include "app/interrupt_watch.h"

namespace tu {

namespace {

std::atomic<int> signalsSeen{0};
int wakeRead = -1;
int wakeWrite = -1;

constexpr char kInterrupted = 'i';
constexpr char kStop = 's';

static_assert(std::atomic<int>::is_always_lock_free, "the handler needs a lock-free counter");

void onSignal(int signal) {
  if (signalsSeen.fetch_add(1) > 0) {
    // A second signal: the player wants out now. Die the way the signal itself kills, so a
    // calling shell sees it; _exit covers the case where that did not end us.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signal, &standard, nullptr);
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, signal);
    pthread_sigmask(SIG_UNBLOCK, &mask, nullptr);
    raise(signal);
    _exit(128 + signal);
  }
  const int saved = errno;
  const char byte = kInterrupted;
  // A full pipe already holds a wake-up; nothing to do about a failure here.
  [[maybe_unused]] const ssize_t written = write(wakeWrite, &byte, 1);
  errno = saved;
}

sigset_t interruptSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
  const sigset_t set = interruptSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);

  int fds[2] = {-1, -1};
  if (pipe2(fds, O_CLOEXEC) == 0) {
    wakeRead = fds[0];
    wakeWrite = fds[1];
  }
  // Without a pipe the handler's write fails and only the second signal works: still an exit.
  watcher_ = std::thread(&InterruptWatch::watch, this);

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

InterruptWatch::~InterruptWatch() {
  const char byte = kStop;
  if (wakeWrite >= 0) {
    while (write(wakeWrite, &byte, 1) < 0 && errno == EINTR) {
    }
  }
  if (watcher_.joinable()) watcher_.join();
}

void InterruptWatch::deliver() {
  const sigset_t set = interruptSignals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void InterruptWatch::watch() {
  if (wakeRead < 0) return;
  for (;;) {
    char byte = 0;
    const ssize_t got = read(wakeRead, &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || byte == kStop) return;
    if (onInterrupt_) onInterrupt_();
  }
}

}  // namespace tu
