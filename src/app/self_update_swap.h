// The main thread's file work of a self-update: puts the downloaded launcher in place of the
// running one and starts it; or, when any step fails, puts everything back.
#pragma once

#include <filesystem>

#include "ui/host.h"

namespace tu {

// 1. deletes exePath + ".old" (read-only or not, ignoring the result); 2. renames exePath to that
// name; 3. renames `replacement` to exePath; 4. starts exePath with the argument "--updated" in
// `clientDir`. True when the new process started: the caller then closes this instance, and the new
// one deletes ".old" once this one has gone. False when a step failed: the old executable is back
// at exePath (over a replacement already moved there) and `replacement` is deleted.
// Renames replace existing files in one step; one that fails because another program holds a
// file for a moment is tried again for about two seconds before it counts as failed. Main
// thread; the update worker must have ended.
bool swapInReplacement(const std::filesystem::path& exePath,
                       const std::filesystem::path& replacement,
                       const std::filesystem::path& clientDir, Host& host);

}  // namespace tu
