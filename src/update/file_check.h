// Hashing a local file for the check phase and the self-update (Updater::checkFile uses it).
#pragma once

#include <atomic>
#include <filesystem>
#include <string>

namespace tu {

// SHA-256 of a file's content as 64 lowercase hex digits, read sequentially through one 1 MiB
// buffer. False when the file cannot be opened or read, or when `cancel` (may be null) is set
// before one of the reads; `digest` is changed only on success.
bool sha256File(const std::filesystem::path& path, std::string& digest,
                const std::atomic<bool>* cancel = nullptr);

}  // namespace tu
