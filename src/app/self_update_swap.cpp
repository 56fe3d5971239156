#include "app/self_update_swap.h"

#include <chrono>
#include <system_error>
#include <thread>

#include "core/files.h"
#include "update/paths.h"

namespace tu {
namespace {

// The pauses before the second to the last attempt of a rename: about two seconds in all.
constexpr int kRetryPausesMs[] = {50, 100, 200, 300, 400, 450, 500};

// A file just written (the replacement) or just started is often held for a moment by a virus
// scanner or the search indexer; a rename that fails for that reason is tried again.
int renameWhenFree(const std::filesystem::path& from, const std::filesystem::path& to) {
  int error = replaceFile(from, to);
  for (const int pause : kRetryPausesMs) {
    if (error == 0 || !isFileInUseError(error)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    error = replaceFile(from, to);
  }
  return error;
}

}  // namespace

bool swapInReplacement(const std::filesystem::path& exePath,
                       const std::filesystem::path& replacement,
                       const std::filesystem::path& clientDir, Host& host) {
  std::filesystem::path old = exePath;
  old += ".old";
  std::error_code ignored;
  // A read-only leftover (copied from a disc or an archive) cannot be deleted or replaced.
  makeWritable(old);
  std::filesystem::remove(old, ignored);

  // A running executable can be renamed, though not deleted or overwritten.
  const bool oldMoved = renameWhenFree(exePath, old) == 0;
  const bool newMoved = oldMoved && renameWhenFree(replacement, exePath) == 0;
  if (newMoved && host.startProcess(exePath, "--updated", clientDir).started) return true;

  if (oldMoved) renameWhenFree(old, exePath);
  std::filesystem::remove(replacement, ignored);
  return false;
}

}  // namespace tu
