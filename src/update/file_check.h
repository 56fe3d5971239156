// The check phase's verdict on one local file, and the hashing behind it (the self-update uses
// it too).
#pragma once

#include <atomic>
#include <filesystem>
#include <string>

#include "update/check_mode.h"
#include "update/hash_cache.h"
#include "update/manifest.h"

namespace tu {

// SHA-256 of a file's content as 64 lowercase hex digits, read sequentially through one 1 MiB
// buffer. False when the file cannot be opened or read, or when `cancel` (may be null) is set
// before one of the reads; `digest` is changed only on success.
bool sha256File(const std::filesystem::path& path, std::string& digest,
                const std::atomic<bool>* cancel = nullptr);

// Whether the local file at `local` is correct for `entry`: it exists, and for entries not
// installed "once" its size matches and its content hashes to the entry's sha256 (taken from
// `cache` when size and stamp are unchanged and the mode is Check). Records every hash it
// computes in `cache`, matching or not; a hash that `cancel` stops is no verdict and records
// nothing.
bool checkFile(const ManifestFile& entry, const std::filesystem::path& local, CheckMode mode,
               HashCache& cache, const std::atomic<bool>& cancel);

}  // namespace tu
