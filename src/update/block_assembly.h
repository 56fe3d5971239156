// Putting a new file together from a block plan: each block from the player's old copy where
// the plan found it, else from the fetched packed bytes (inflated like the installer's, then
// checked against the index's strong hash), hashed as it is written beside the target; the
// target is replaced only when the whole file's SHA-256 is the manifest's.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>

#include "update/block_plan.h"

namespace tu {

// `part` holds the plan's ranges after its header (blocks_part.h). Failures: those of
// ReplacementFile ("cannot write <temporary> ...", "write failed (disk full?)", "checksum
// mismatch after download", "cannot replace <target> ..."), "cancelled", "cannot read <path>",
// "fetched block is damaged". `cancel` may be null.
bool assembleFromBlocks(const BlockPlan& plan, const std::filesystem::path& part,
                        const std::filesystem::path& target, const std::string& sha256,
                        const std::atomic<bool>* cancel, std::string& error);

}  // namespace tu
