// What bringing one file in by blocks takes: the index, where the player's old copy holds each
// block, and the ranges of the packed file that hold the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "update/block_index.h"

namespace tu {

// Bytes first..last of the packed file, both included.
struct ByteRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::uint64_t length() const { return last - first + 1; }
};

// Gaps up to this size between missing blocks are fetched along with them: one request less is
// worth more than the bytes.
inline constexpr std::uint64_t kBridgedGap = 65536;
// At most this many range requests per file; beyond it the smallest gaps are bridged.
inline constexpr std::size_t kMaxRangeRequests = 32;

struct BlockPlan {
  std::filesystem::path local;  // the player's old copy
  BlockIndex index;
  std::vector<std::uint64_t> localOffsets;  // per block: where `local` holds it, or kBlockNotFound
  std::vector<ByteRange> ranges;            // ascending, disjoint
  std::uint64_t fetchBytes = 0;             // sum of the ranges' lengths
};

// The ranges of the packed file that hold every block `localOffsets` marks kBlockNotFound:
// neighbouring blocks in one range, gaps up to kBridgedGap bridged, and no more than
// kMaxRangeRequests ranges (the smallest gaps bridged first).
std::vector<ByteRange> missingRanges(const BlockIndex& index,
                                     const std::vector<std::uint64_t>& localOffsets);

}  // namespace tu
