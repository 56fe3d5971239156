// Outside Windows there is no desktop to place a shell link on.
#include "game/desktop_shortcut.h"

namespace tu {

std::optional<std::filesystem::path> userDesktopFolder() {
  return std::nullopt;
}

bool createShellLink(const std::filesystem::path&, const std::filesystem::path&,
                     const std::filesystem::path&, const std::string&) {
  return false;
}

}  // namespace tu
