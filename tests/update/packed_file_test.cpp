#include "update/packed_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

#include "publish/packed_writer.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "update/packed_bytes.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

// Installs `packed` over a target that holds "old content"; on failure checks that the
// target is untouched and no temporary is left.
class PackedInstall : public ::testing::Test {
 protected:
  bool install(const std::string& packed, std::uint64_t size, const std::string& sha256,
               const std::atomic<bool>* cancel = nullptr) {
    writeTestFile(part, packed);
    writeTestFile(target, "old content");
    err.clear();
    const bool ok = installPackedFile(part, target, size, sha256, cancel, err);
    EXPECT_EQ(readTestFile(part), packed) << "the packed file itself is never changed";
    EXPECT_FALSE(fs::exists(dir / "game/file.bin.tznew"));
    if (!ok) {
      EXPECT_EQ(readTestFile(target), "old content");
    }
    return ok;
  }

  TempDir dir;
  fs::path part = dir / "work/abc.part";
  fs::path target = dir / "game/file.bin";
  std::string err;
};

// The writer compresses a block only when that makes it smaller, and the reader takes both
// kinds.
TEST_F(PackedInstall, CompressedAndRawBlocksRoundTrip) {
  const std::string data = std::string(100, 'z') + noise(100, 1) + "tail";
  const std::string packed = packBytes(data, {100, 9});
  const auto tableWord = [&](std::size_t block) {
    std::uint32_t word = 0;
    for (int i = 3; i >= 0; --i)
      word = word << 8 | static_cast<unsigned char>(packed[20 + 4 * block + i]);
    return word;
  };
  EXPECT_LT(tableWord(0), 100u);
  EXPECT_EQ(tableWord(1), kPackedRawFlag | 100u);
  EXPECT_EQ(tableWord(2), kPackedRawFlag | 4u);
  ASSERT_TRUE(install(packed, data.size(), sha256Hex(data))) << err;
  EXPECT_EQ(readTestFile(target), data);
}

TEST(PackedWriter, RejectsBadOptionsAndAShrunkenSource) {
  std::istringstream in("abc");
  std::ostringstream out;
  PackResult result;
  std::string err;
  EXPECT_FALSE(writePacked(in, 3, out, {0, 9}, result, err));
  EXPECT_FALSE(writePacked(in, 3, out, {16777217, 9}, result, err));
  EXPECT_FALSE(writePacked(in, 3, out, {16, 10}, result, err));
  EXPECT_FALSE(writePacked(in, 4, out, {16, 9}, result, err)) << "source shorter than its size";
}

// No truncation and no changed byte installs; a cut file says which part is missing.
TEST_F(PackedInstall, EveryTruncationAndEveryFlippedByteFails) {
  const std::string data = std::string(300, 'a') + noise(200, 2);
  const std::string packed = packBytes(data, {128, 9});  // 4 blocks
  for (std::size_t i = 0; i < packed.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(install(packed.substr(0, i), data.size(), sha256Hex(data)));
    EXPECT_EQ(err, i < 20 ? "not a packed file" : "packed file is truncated");
    std::string flipped = packed;
    flipped[i] = static_cast<char>(flipped[i] ^ 0x01);
    EXPECT_FALSE(install(flipped, data.size(), sha256Hex(data)));
  }
}

// Every rule of the header, the table and the blocks, each with the text that names it.
TEST_F(PackedInstall, CraftedFilesPassOrFailWithTheRightText) {
  const std::string data = "abcdefgh";
  const std::string sha = sha256Hex(data);
  std::string cut = deflated(data);
  cut.pop_back();  // the Adler-32 is incomplete
  const std::string header = "packed file header does not match the manifest";
  struct Case {
    std::string packed;
    std::uint64_t size;
    std::string error;  // "" installs
  };
  const std::vector<Case> cases = {
      {craftPacked(8, 16777216, 1, {{true, data}}), 8, ""},
      {craftPacked(8, 0, 1, {{true, data}}), 8, header},
      {craftPacked(8, 16777217, 1, {{true, data}}), 8, header},
      {craftPacked(8, 4, 1, {{true, data}}), 8, header},  // needs 2 blocks
      {craftPacked(9, 16, 1, {{true, data}}), 8, header},  // size differs
      {craftPacked(~0ull, 1, 0, {}), ~0ull, header},       // must not wrap the block count
      {craftPacked(8, 8, 1, {{true, data.substr(0, 7)}}), 8, "packed file is damaged"},
      {craftPacked(8, 8, 1, {{false, deflated(data)}}), 8, ""},
      {craftPacked(8, 8, 1, {{false, deflated(data + "i")}}), 8, "packed file is damaged"},
      {craftPacked(8, 8, 1, {{false, deflated(data.substr(0, 7))}}), 8, "packed file is damaged"},
      {craftPacked(8, 8, 1, {{false, cut}}), 8, "packed file is damaged"},
      {craftPacked(8, 8, 1, {{false, ""}}), 8, "packed file is damaged"},
      // A stored length over the limit for a 64 KiB block is refused before anything that
      // large is read or allocated.
      {craftPacked(8, 65536, 1, {{false, "", 0x7fffffffu}}), 8, "packed file is damaged"},
      {craftPacked(8, 65536, 1, {{false, "", 72282}}), 8, "packed file is damaged"},
      {craftPacked(8, 65536, 1, {{false, "", 72281}}), 8, "packed file is truncated"},
      {packBytes(data, {4, 9}), 8, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases.data());
    EXPECT_EQ(install(c.packed, c.size, sha), c.error.empty()) << err;
    EXPECT_EQ(err, c.error);
    if (c.error.empty()) {
      EXPECT_EQ(readTestFile(target), data);
    }
  }
  const std::string packed = packBytes(data, {4, 9});
  EXPECT_FALSE(install(packed, 8, sha256Hex("abcdefgX")));
  EXPECT_EQ(err, "checksum mismatch after download");
  std::atomic<bool> cancel{true};
  EXPECT_FALSE(install(packed, 8, sha, &cancel));
  EXPECT_EQ(err, "cancelled");
  EXPECT_FALSE(installPackedFile(dir / "none.part", target, 0, sha256Hex(""), nullptr, err));
  EXPECT_EQ(err, "cannot open downloaded file");
}

// Blocks large enough to be inflated on several threads: the file still comes out in order,
// and the failure reported is the first in the file, as when the blocks are taken one by one.
TEST_F(PackedInstall, BlocksInflatedAheadFailInFileOrder) {
  constexpr std::uint32_t kBlock = 65536;
  std::string data;
  std::vector<CraftedBlock> blocks;
  for (int i = 0; i < 12; ++i) {
    const std::string chunk = i % 3 == 0 ? noise(kBlock, i) : std::string(kBlock, 'a' + i);
    data += chunk;
    blocks.push_back(i % 3 == 0 ? CraftedBlock{true, chunk} : CraftedBlock{false, deflated(chunk)});
  }
  const std::string sha = sha256Hex(data);
  const auto packed = [&] { return craftPacked(data.size(), kBlock, 12, blocks); };
  ASSERT_TRUE(install(packed(), data.size(), sha)) << err;
  EXPECT_EQ(readTestFile(target), data);

  const std::string whole = packed();
  EXPECT_FALSE(install(whole.substr(0, whole.size() - 1), data.size(), sha));
  EXPECT_EQ(err, "packed file is truncated");
  blocks[10].stored = deflated(std::string(kBlock - 1, 'k'));
  const std::string damaged = packed();
  EXPECT_FALSE(install(damaged.substr(0, damaged.size() - 1), data.size(), sha));
  EXPECT_EQ(err, "packed file is damaged");
  std::atomic<bool> cancel{true};
  EXPECT_FALSE(install(damaged, data.size(), sha, &cancel));
  EXPECT_EQ(err, "cancelled");
}

}  // namespace
}  // namespace tu::test
