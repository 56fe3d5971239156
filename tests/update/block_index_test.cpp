// The block index from the server is untrusted: every way it can lie is refused before it is
// used, and one that matches weakly everywhere cannot make the scan hash at every byte. Also
// the range planner's promises. (Finding blocks wherever they lie is shown by whole runs.)
#include "update/block_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "publish/packed_writer.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "update/block_plan.h"
#include "update/block_scan.h"
#include "update/packed_file.h"

namespace tu::test {
namespace {


TEST(BlockIndex, RefusesEveryLie) {
  const std::string data = noise(20 * 4096 + 100, 1);
  std::istringstream in(data);
  std::ostringstream out;
  PackResult packed;
  std::string err;
  ASSERT_TRUE(writePacked(in, data.size(), out, {4096, 6}, packed, err)) << err;
  const ManifestFile entry{"a.bin", static_cast<std::int64_t>(data.size()), packed.sha256,
                           static_cast<std::int64_t>(packed.packed)};
  const std::string& good = packed.index;
  BlockIndex index;
  ASSERT_TRUE(parseBlockIndex(good, entry, index, err)) << err;
  EXPECT_EQ(index.blocks.size(), 21u);
  EXPECT_EQ(index.blockLength(20), 100u);

  const auto changed = [&](std::size_t at, std::uint32_t value) {
    std::string bytes = good;
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    return bytes;
  };
  const std::size_t word = kBlockIndexHeaderSize + 3 * kBlockIndexEntrySize;  // block 3's
  const std::uint32_t stored = index.blocks[3].word & kPackedLengthMask;
  ManifestFile other = entry;
  other.sha256[0] = other.sha256[0] == '0' ? '1' : '0';
  struct Case {
    std::string bytes;
    ManifestFile entry;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"", entry, "not a block index"},
      {"TZ1" + good.substr(3), entry, "not a block index"},
      {good, other, "block index is for another file"},
      {changed(4, 1), entry, "block index is for another file"},
      {changed(20, 1), entry, "block index is for another file"},
      {good.substr(0, good.size() - 1), entry, "block index is damaged"},
      {good + "x", entry, "block index is damaged"},
      {changed(16, 0xffffffffu), entry, "block index is damaged"},  // a huge count
      {changed(12, 2048), entry, "block index is damaged"},         // blocks too small
      {changed(word, (stored - 1) | kPackedRawFlag), entry, "block index is damaged"},
      {changed(word, kPackedRawFlag), entry, "block index is damaged"},
      {changed(word, 0), entry, "block index is damaged"},
      {changed(word, stored + 1), entry, "block index is damaged"},  // sums past the packed size
      {changed(word, packedStoredLengthLimit(4096) + 1), entry, "block index is damaged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_FALSE(parseBlockIndex(c.bytes, c.entry, index, err));
    EXPECT_EQ(err, c.text);
  }
}

TEST(BlockIndex, AnIndexThatMatchesWeaklyEverywhereIsGivenUp) {
  test::TempDir dir;
  test::writeTestFile(dir / "old.bin", std::string(1 << 20, '\0'));
  const std::string zeros(4096, '\0');
  BlockIndex index;
  index.size = 64 * 4096;
  index.blockSize = 4096;
  index.blocks.assign(64, {4096 | kPackedRawFlag,
                           weakChecksum(reinterpret_cast<const unsigned char*>(zeros.data()), 4096),
                           {}});
  std::vector<std::uint64_t> offsets;
  std::string err;
  EXPECT_FALSE(findLocalBlocks(dir / "old.bin", index, nullptr, offsets, err));
  EXPECT_EQ(err, "too many false matches");
}

TEST(BlockPlan, RangesCoverEveryMissingBlockInFewRequests) {
  BlockIndex index;
  index.blockSize = 65536;
  index.size = 400 * std::uint64_t{65536};
  index.blocks.assign(400, {70000, 0, {}});  // compressed blocks that grew
  std::vector<std::uint64_t> offsets(400, 0);
  offsets[0] = offsets[1] = kBlockNotFound;                               // neighbours: one range
  for (std::size_t i = 10; i < 400; i += 3) offsets[i] = kBlockNotFound;  // gaps over 64 KiB
  const std::vector<ByteRange> ranges = missingRanges(index, offsets);
  EXPECT_EQ(ranges.size(), kMaxRangeRequests);
  const std::uint64_t table = kPackedHeaderSize + 4 * 400;
  EXPECT_EQ(ranges[0].first, table);
  for (std::size_t i = 0; i < 400; ++i) {
    if (offsets[i] != kBlockNotFound) continue;
    const std::uint64_t first = table + i * 70000;
    const auto covering = std::find_if(ranges.begin(), ranges.end(), [&](const ByteRange& r) {
      return r.first <= first && first + 69999 <= r.last;
    });
    EXPECT_NE(covering, ranges.end()) << i;
  }
  for (std::size_t r = 1; r < ranges.size(); ++r) EXPECT_GT(ranges[r].first, ranges[r - 1].last);
}

}  // namespace
}  // namespace tu::test
