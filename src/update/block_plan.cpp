#include "update/block_plan.h"

#include <algorithm>
#include <numeric>

#include "update/block_scan.h"
#include "update/packed_file.h"

namespace tu {

std::vector<ByteRange> missingRanges(const BlockIndex& index,
                                     const std::vector<std::uint64_t>& localOffsets) {
  // Blocks that follow each other in the file follow each other in the packed file.
  std::vector<ByteRange> runs;
  std::uint64_t offset = kPackedHeaderSize + 4 * std::uint64_t{index.blocks.size()};
  for (std::size_t i = 0; i < index.blocks.size(); ++i) {
    const std::uint64_t stored = index.blocks[i].word & kPackedLengthMask;
    if (localOffsets[i] == kBlockNotFound) {
      if (!runs.empty() && runs.back().last + 1 == offset) {
        runs.back().last += stored;
      } else {
        runs.push_back({offset, offset + stored - 1});
      }
    }
    offset += stored;
  }
  if (runs.size() < 2) return runs;

  // Gap k lies between runs k and k + 1. Bridge the small ones, and the smallest of the rest
  // until few enough requests remain.
  std::vector<std::size_t> order(runs.size() - 1);
  std::iota(order.begin(), order.end(), 0);
  const auto gap = [&](std::size_t k) { return runs[k + 1].first - runs[k].last - 1; };
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return gap(a) < gap(b); });
  std::size_t bridges = runs.size() > kMaxRangeRequests ? runs.size() - kMaxRangeRequests : 0;
  while (bridges < order.size() && gap(order[bridges]) <= kBridgedGap) ++bridges;
  std::vector<bool> bridged(order.size(), false);
  for (std::size_t k = 0; k < bridges; ++k) bridged[order[k]] = true;

  std::vector<ByteRange> ranges = {runs[0]};
  for (std::size_t k = 0; k + 1 < runs.size(); ++k) {
    if (bridged[k]) {
      ranges.back().last = runs[k + 1].last;
    } else {
      ranges.push_back(runs[k + 1]);
    }
  }
  return ranges;
}

}  // namespace tu
