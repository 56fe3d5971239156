// The packed bytes a block plan fetches, kept in the work folder as <sha256>.blocks.part: a
// 36-byte header ("TZB1" and the SHA-256 of the entry's checksum and the plan's ranges), then
// the ranges' bytes back to back in plan order, appended as they arrive. A cancel or a cut
// connection leaves it in place; the next run makes the same plan from the same files and goes
// on from its end, while a file made for another plan is started afresh. Its name ends in
// ".part", so a finished run's clean-up removes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "net/fetcher.h"
#include "update/block_plan.h"

namespace tu {

inline constexpr std::size_t kBlocksPartHeaderSize = 36;

// Fetches what `part` still lacks of `ranges` from `url` (the packed file) with range requests.
// An attempt that fails after getting somewhere is followed by another from where it stopped,
// up to three in all; one that got nothing ends the fetch. `progress` sees how many of the
// ranges' bytes the file holds (a resumed prefix included); returning false stops the fetch.
// On failure `error` is the fetcher's text or "cannot write <part>"; what arrived stays.
bool fetchPlannedRanges(Fetcher& fetcher, const std::string& url, const std::filesystem::path& part,
                        const std::string& sha256, const std::vector<ByteRange>& ranges,
                        const ProgressCallback& progress, std::string& error);

}  // namespace tu
