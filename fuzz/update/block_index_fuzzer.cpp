// Bytes as a block index from the server, read the way the launcher reads one. The manifest
// entry is taken from the index's own header, so inputs get past the header check and exercise
// the entries. Whatever parses must plan ranges that lie inside the packed file: all blocks
// missing give exactly the packed file's blocks, every other block missing gives ranges within
// them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/files.h"
#include "update/block_index.h"
#include "update/block_plan.h"
#include "update/block_scan.h"
#include "update/little_endian.h"
#include "update/packed_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tu::ManifestFile entry;
  if (size >= tu::kBlockIndexHeaderSize) {
    entry.size = static_cast<std::int64_t>(tu::readLe64(data + 4));
    entry.packed = static_cast<std::int64_t>(tu::readLe64(data + 20));
    entry.sha256 = tu::hexEncode(data + 28, 32);
  }
  if (entry.size < 0 || entry.packed < 0) return 0;
  tu::BlockIndex index;
  std::string err;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!tu::parseBlockIndex(bytes, entry, index, err)) return 0;

  const std::uint64_t first = tu::kPackedHeaderSize + 4 * std::uint64_t{index.blocks.size()};
  std::vector<std::uint64_t> offsets(index.blocks.size(), tu::kBlockNotFound);
  std::vector<tu::ByteRange> ranges = tu::missingRanges(index, offsets);
  if (!index.blocks.empty() &&
      (ranges.size() != 1 || ranges[0].first != first || ranges[0].last + 1 != index.packed)) {
    __builtin_trap();
  }
  for (std::size_t i = 0; i < offsets.size(); i += 2) offsets[i] = 0;
  ranges = tu::missingRanges(index, offsets);
  if (ranges.size() > tu::kMaxRangeRequests) __builtin_trap();
  for (const tu::ByteRange& range : ranges) {
    if (range.first < first || range.last < range.first || range.last >= index.packed) {
      __builtin_trap();
    }
  }
  return 0;
}
