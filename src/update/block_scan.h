// Finding the blocks of a new file in the old copy the player already has, the way rsync does:
// the weak checksum of a block-sized window is rolled along the old file a byte at a time, a
// weak hit is confirmed with the strong hash, and after a confirmed block the window jumps a
// whole block. So a block is found wherever it lies, and an insertion near the start costs only
// the blocks it touches. A large file is searched in two halves on two threads. Memory: a window
// of reading per half plus a table of the index's weak checksums, whatever the files' sizes.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "update/block_index.h"

namespace tu {

inline constexpr std::uint64_t kBlockNotFound = std::numeric_limits<std::uint64_t>::max();

// Fills `offsets` with one value per block of `index`: where `local` holds exactly that block's
// unpacked bytes, or kBlockNotFound. A short last block is looked for where a changed file most
// likely keeps it: at its own offset, behind the block before it, and at the end of `local`.
//
// Gives up (false) when `cancel` is set ("cancelled"), when `local` cannot be read ("cannot read
// <path>"), or when weak hits that the strong hash refutes exceed about two per block of
// `local` ("too many false matches"): honest data rarely has any, and that bound keeps a
// hostile index from turning the scan into a strong hash at every byte. `cancel` may be null.
bool findLocalBlocks(const std::filesystem::path& local, const BlockIndex& index,
                     const std::atomic<bool>* cancel, std::vector<std::uint64_t>& offsets,
                     std::string& error);

}  // namespace tu
