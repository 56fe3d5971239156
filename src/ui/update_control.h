// UpdateControl: what the page's commands and the window need of the update run. The update
// controller satisfies it through a thin adapter; tests use a recording double. Main thread
// only.
#pragma once

#include <filesystem>

#include "update/check_mode.h"

namespace tu {

class UpdateControl {
 public:
  virtual ~UpdateControl() = default;

  // Starts a run unless one is going (or a self-update hand-over is pending).
  virtual void startUpdate(CheckMode mode) = 0;
  // Asks the running run to stop at its next check; does not wait. Nothing when idle.
  virtual void cancelUpdate() = 0;
  // A run is going or a self-update hand-over is pending.
  virtual bool isBusy() const = 0;

  // The worker has ended (WM_APP_UPDATE_DONE): join it and clear busy.
  virtual void onUpdateDone() = 0;
  // The worker has downloaded a replacement of the launcher (WM_APP_SELF_UPDATE).
  virtual void onSelfUpdate(const std::filesystem::path& replacement) = 0;
  // Waits for the worker thread, when there is one (closing the window).
  virtual void joinWorker() = 0;
};

}  // namespace tu
