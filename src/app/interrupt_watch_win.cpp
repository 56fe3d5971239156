#include <windows.h>

#include <atomic>
#include <mutex>
#include <utility>

#include "app/interrupt_watch.h"

namespace tu {

namespace {

std::atomic<int> interruptsSeen{0};
// The living watch's callback. The destructor clears it under the lock, so the handler (on a
// thread of the system's) never calls into a watch that is gone.
std::mutex watchMutex;
std::function<void()>* callback = nullptr;

BOOL WINAPI onConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (interruptsSeen.fetch_add(1) > 0) {
    // The player wants out now: no cleanup that a stuck worker could hold up.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
  }
  std::lock_guard<std::mutex> lock(watchMutex);
  if (callback != nullptr && *callback) (*callback)();
  return TRUE;
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
  {
    std::lock_guard<std::mutex> lock(watchMutex);
    callback = &onInterrupt_;
  }
  // A process started in a process group of its own begins with Ctrl+C ignored; the person at
  // the console must still be able to stop the run.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

InterruptWatch::~InterruptWatch() {
  std::lock_guard<std::mutex> lock(watchMutex);
  callback = nullptr;
}

void InterruptWatch::deliver() {}

}  // namespace tu
