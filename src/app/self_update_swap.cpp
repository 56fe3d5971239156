#include "app/self_update_swap.h"

#include <system_error>

#include "core/files.h"

namespace tu {

bool swapInReplacement(const std::filesystem::path& exePath,
                       const std::filesystem::path& replacement,
                       const std::filesystem::path& clientDir, Host& host) {
  std::filesystem::path old = exePath;
  old += ".old";
  std::error_code ignored;
  std::filesystem::remove(old, ignored);

  // A running executable can be renamed, though not deleted or overwritten.
  const bool oldMoved = replaceFile(exePath, old) == 0;
  const bool newMoved = oldMoved && replaceFile(replacement, exePath) == 0;
  if (newMoved && host.startProcess(exePath, "--updated", clientDir).started) return true;

  if (oldMoved) replaceFile(old, exePath);
  std::filesystem::remove(replacement, ignored);
  return false;
}

}  // namespace tu
