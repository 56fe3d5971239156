#include "update/packed_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

#include "publish/packed_writer.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "update/packed_bytes.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using test::CraftedBlock;
using test::craftPacked;
using test::deflated;
using test::noise;
using test::readTestFile;
using test::sha256Hex;
using test::TempDir;
using test::writeTestFile;

// Installs `packed` over a target that holds "old content"; on failure checks that the
// target is untouched and no temporary is left.
class PackedInstall : public ::testing::Test {
 protected:
  bool install(const std::string& packed, std::uint64_t size, const std::string& sha256,
               const std::atomic<bool>* cancel = nullptr) {
    writeTestFile(part, packed);
    writeTestFile(target, "old content");
    err.clear();
    const bool ok = installPackedFile(part, target, size, sha256, err, cancel);
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

TEST(PackedFormat, StoredLengthLimit) {
  EXPECT_EQ(packedStoredLengthLimit(65536), 72281u);
  EXPECT_EQ(packedStoredLengthLimit(1048576), 1153625u);
  EXPECT_EQ(packedStoredLengthLimit(16777216), 18455129u);
  EXPECT_EQ(packedBlockCount(0, 7), 0u);
  EXPECT_EQ(packedBlockCount(14, 7), 2u);
  EXPECT_EQ(packedBlockCount(15, 7), 3u);
  EXPECT_EQ(packedBlockCount(~0ull, 1u << 24), (~0ull >> 24) + 1);
}

TEST_F(PackedInstall, ExactlyKBlocksAndOneMore) {
  for (const std::size_t size : {3 * 64, 3 * 64 + 1}) {
    const std::string data = noise(size, 7);
    const std::string packed = packBytes(data, {64, 9});
    std::istringstream in(packed);
    PackedReader reader;
    ASSERT_TRUE(reader.open(in, size, err));
    EXPECT_EQ(reader.blockCount(), size == 192 ? 3u : 4u);
    ASSERT_TRUE(install(packed, size, sha256Hex(data))) << err;
    EXPECT_EQ(readTestFile(target), data);
  }
}

// The writer compresses a block only when that makes it smaller; the reader takes both kinds.
TEST_F(PackedInstall, WriterStoresRawWhatDoesNotShrink) {
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

TEST_F(PackedInstall, EveryTruncationFailsWithTheRightText) {
  const std::string data = std::string(300, 'a') + noise(200, 2);
  const std::string packed = packBytes(data, {128, 9});  // 4 blocks
  const std::size_t tableEnd = 20 + 4 * 4;
  for (std::size_t length = 0; length < packed.size(); ++length) {
    SCOPED_TRACE(length);
    EXPECT_FALSE(install(packed.substr(0, length), data.size(), sha256Hex(data)));
    EXPECT_EQ(err, length < 20 ? "not a packed file" : "packed file is truncated");
  }
  EXPECT_GT(packed.size(), tableEnd);
}

TEST_F(PackedInstall, EveryFlippedByteFails) {
  const std::string data = std::string(200, 'a') + noise(100, 3);
  const std::string packed = packBytes(data, {128, 9});
  for (std::size_t i = 0; i < packed.size(); ++i) {
    SCOPED_TRACE(i);
    std::string bad = packed;
    bad[i] = static_cast<char>(bad[i] ^ 0x01);
    EXPECT_FALSE(install(bad, data.size(), sha256Hex(data)));
    // A changed block size may still give the same block count; sizes and counts may not.
    if (i < 4) {
      EXPECT_EQ(err, "not a packed file");
    } else if (i < 12 || (i >= 16 && i < 20)) {
      EXPECT_EQ(err, "packed file header does not match the manifest");
    }
  }
}

TEST_F(PackedInstall, HeaderMustMatchTheManifest) {
  const std::string five = "hello";
  const std::string sha = sha256Hex(five);
  EXPECT_TRUE(install(craftPacked(5, 16777216, 1, {{true, five}}), 5, sha)) << err;
  for (const std::uint32_t blockSize : {0u, 16777217u}) {
    EXPECT_FALSE(install(craftPacked(5, blockSize, 1, {{true, five}}), 5, sha));
    EXPECT_EQ(err, "packed file header does not match the manifest");
  }
  EXPECT_FALSE(install(craftPacked(5, 4, 1, {{true, five}}), 5, sha));  // needs 2 blocks
  EXPECT_EQ(err, "packed file header does not match the manifest");
  EXPECT_FALSE(install(craftPacked(6, 8, 1, {{true, five}}), 5, sha));  // size differs
  EXPECT_EQ(err, "packed file header does not match the manifest");
  // A size near 2^64 must not wrap the block count.
  EXPECT_FALSE(install(craftPacked(~0ull, 1, 0, {}), ~0ull, sha));
  EXPECT_EQ(err, "packed file header does not match the manifest");
}

TEST_F(PackedInstall, RawAndCompressedLengthRules) {
  const std::string data = "abcdefgh";
  const std::string sha = sha256Hex(data);
  EXPECT_TRUE(install(craftPacked(8, 8, 1, {{true, data}}), 8, sha)) << err;
  EXPECT_FALSE(install(craftPacked(8, 8, 1, {{true, data.substr(0, 7)}}), 8, sha));
  EXPECT_EQ(err, "packed file is damaged");
  EXPECT_TRUE(install(craftPacked(8, 8, 1, {{false, deflated(data)}}), 8, sha)) << err;
  EXPECT_FALSE(install(craftPacked(8, 8, 1, {{false, deflated(data + "i")}}), 8, sha));
  EXPECT_EQ(err, "packed file is damaged");
  EXPECT_FALSE(install(craftPacked(8, 8, 1, {{false, deflated(data.substr(0, 7))}}), 8, sha));
  EXPECT_EQ(err, "packed file is damaged");
  std::string cut = deflated(data);
  cut.pop_back();  // the Adler-32 is incomplete
  EXPECT_FALSE(install(craftPacked(8, 8, 1, {{false, cut}}), 8, sha));
  EXPECT_EQ(err, "packed file is damaged");
  EXPECT_FALSE(install(craftPacked(8, 8, 1, {{false, ""}}), 8, sha));
  EXPECT_EQ(err, "packed file is damaged");
}

TEST_F(PackedInstall, StoredLengthOverTheLimitIsDamagedBeforeReading) {
  // The table claims 2 GiB for a 64 KiB block; nothing that large is read or allocated.
  const std::string sha = sha256Hex("x");
  EXPECT_FALSE(install(craftPacked(1, 65536, 1, {{false, "", 0x7fffffffu}}), 1, sha));
  EXPECT_EQ(err, "packed file is damaged");
  EXPECT_FALSE(install(craftPacked(1, 65536, 1, {{false, "", 72282}}), 1, sha));
  EXPECT_EQ(err, "packed file is damaged");
  EXPECT_FALSE(install(craftPacked(1, 65536, 1, {{false, "", 72281}}), 1, sha));
  EXPECT_EQ(err, "packed file is truncated");
}

TEST_F(PackedInstall, ChecksumMismatchAndCancel) {
  const std::string packed = packBytes("some content", {4, 9});
  EXPECT_FALSE(install(packed, 12, sha256Hex("other content")));
  EXPECT_EQ(err, "checksum mismatch after download");
  std::atomic<bool> cancel{true};
  EXPECT_FALSE(install(packed, 12, sha256Hex("some content"), &cancel));
  EXPECT_EQ(err, "cancelled");
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

TEST_F(PackedInstall, MissingPackedFile) {
  EXPECT_FALSE(installPackedFile(dir / "none.part", target, 0, sha256Hex(""), err, nullptr));
  EXPECT_EQ(err, "cannot open downloaded file");
}

}  // namespace
}  // namespace tu
