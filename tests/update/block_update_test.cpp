// Block-level updates in whole runs: only changed blocks are fetched and counted, every
// fallback ends with the right file, a cut or cancelled fetch is not fetched again.
#include <gtest/gtest.h>

#include "core/files.h"
#include "support/test_data.h"
#include "update/block_index.h"
#include "update/update_fixture.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBlock = 4096;  // the fixture packs with 4 KiB blocks

// 64 blocks each, so that both are searched in two halves. A change of one block's length in
// the middle touches two blocks.
const std::string kBig = noise(64 * kBlock, 1);
const std::string kBigChanged =
    kBig.substr(0, 32 * kBlock + 100) + noise(kBlock, 2) + kBig.substr(33 * kBlock + 100);
// 100 bytes inserted near the start shift every later block off its old place.
const std::string kMid = noise(64 * kBlock, 3);
const std::string kMidChanged = kMid.substr(0, 1000) + noise(100, 4) + kMid.substr(1000);

class BlockUpdate : public UpdateFixture {
 protected:
  void installOldThenPublishNew() {
    publish({{"big.bin", kBig}, {"mid.bin", kMid}});
    ASSERT_EQ(run().code, "updated");
    publish({{"big.bin", kBigChanged}, {"mid.bin", kMidChanged}});
    server.clearRequests();
  }
  void restoreOld() {
    writeTestFile(at("big.bin"), kBig);
    writeTestFile(at("mid.bin"), kMid);
    server.clearRequests();
  }
  std::uint64_t fetched() const {
    return server.bodyBytesSent() - servedManifest.size() - servedSignature.size();
  }
  std::string index(const std::string& path) const {
    return readTestFile(folder / ("files/" + path + ".tzi"));
  }

  std::size_t wholeDownloads(const std::string& path) const {
    std::size_t count = 0;
    for (const ReceivedRequest& request : server.requestsFor(target(entry(path)))) {
      if (!request.header("Range")) ++count;
    }
    return count;
  }
};

TEST_F(BlockUpdate, FetchesOnlyChangedBlocksAndSaysSo) {
  installOldThenPublishNew();
  const RunRecord record = run();
  EXPECT_EQ(record.code, "updated") << record.detail;
  expectClient({{"big.bin", kBigChanged}, {"mid.bin", kMidChanged}});
  const std::uint64_t indexes = index("big.bin").size() + index("mid.bin").size();
  EXPECT_EQ(fetched(), indexes + 3 * kBlock);  // big: two blocks, mid: one
  EXPECT_EQ(wholeDownloads("big.bin") + wholeDownloads("mid.bin"), 0u);
  // The indexes in hand count from the start; the total is what is really fetched.
  for (const Json& progress : record.progress) {
    if (progress.getString("phase") != "download") continue;
    EXPECT_GE(progress.getInt64("bytesDone", 0), static_cast<std::int64_t>(indexes));
    EXPECT_EQ(progress.getInt64("bytesTotal", 0), static_cast<std::int64_t>(fetched()));
  }
  EXPECT_EQ(record.progress.back().getInt64("bytesDone", 0), static_cast<std::int64_t>(fetched()));

  // A repair of three damaged bytes fetches the one block that holds them.
  std::string damaged = kBigChanged;
  for (std::size_t i = 50000; i < 50003; ++i) damaged[i] = static_cast<char>(~damaged[i]);
  writeTestFile(at("big.bin"), damaged);
  server.clearRequests();
  EXPECT_EQ(run(CheckMode::Repair).code, "updated");
  expectClient({{"big.bin", kBigChanged}, {"mid.bin", kMidChanged}});
  EXPECT_EQ(fetched(), index("big.bin").size() + kBlock);
}

TEST_F(BlockUpdate, EveryFallbackEndsWithTheWholeFile) {
  installOldThenPublishNew();
  const ManifestFile& big = entry("big.bin");
  const std::string good = index("big.bin");
  // Blocks 32 and 33 described as the old file has them: found in it, they make a wrong file
  // that only the whole file's checksum can refuse.
  std::string oldHashes = good;
  for (std::size_t block : {32, 33}) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(kBig.data()) + block * kBlock;
    const std::uint32_t weak = weakChecksum(bytes, kBlock);
    const StrongHash strong = strongHash(bytes, kBlock);
    const std::size_t at = kBlockIndexHeaderSize + block * kBlockIndexEntrySize;
    for (int i = 0; i < 4; ++i) oldHashes[at + 4 + i] = static_cast<char>(weak >> (8 * i));
    oldHashes.replace(at + 8, strong.size(), reinterpret_cast<const char*>(strong.data()),
                      strong.size());
  }
  // Block 32 with a strong hash nothing has: fetched, and refused once unpacked.
  std::string badBlock = good;
  badBlock[kBlockIndexHeaderSize + 32 * kBlockIndexEntrySize + 8] ^= 1;
  struct Case {
    const char* name;
    Behaviour index;
    Behaviour packed;
  };
  const std::string packed = packedBytes("big.bin");
  const std::vector<Case> cases = {
      {"no index", {.status = 404}, {.body = packed}},
      {"damaged index", {.body = good.substr(0, good.size() - 1)}, {.body = packed}},
      {"ranges ignored", {.body = good}, {.body = packed, .honourRange = false}},
      {"mismatch after assembly", {.body = oldHashes}, {.body = packed}},
      {"damaged fetched block", {.body = badBlock}, {.body = packed}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    restoreOld();
    server.script(target(big, ".tzi"), c.index);
    server.script(target(big), c.packed);
    const RunRecord record = run();
    EXPECT_EQ(record.code, "updated");
    expectClient({{"big.bin", kBigChanged}, {"mid.bin", kMidChanged}});
    EXPECT_EQ(wholeDownloads("big.bin"), 1u);
    EXPECT_EQ(wholeDownloads("mid.bin"), 0u);
    // The whole file joined the total when it was needed after all.
    const Json& last = record.progress.back();
    EXPECT_EQ(last.getInt64("bytesDone", 0), last.getInt64("bytesTotal", -1));
    EXPECT_GT(last.getInt64("bytesTotal", 0), big.packed);
  }
}

TEST_F(BlockUpdate, CutAndCancelledFetchesAreNotFetchedAgain) {
  installOldThenPublishNew();
  const ManifestFile& big = entry("big.bin");
  const std::string packed = packedBytes("big.bin");
  server.scriptSequence(target(big), {{.body = packed, .closeAfter = 3000}, {.body = packed}});
  EXPECT_EQ(run().code, "updated");
  const auto requests = server.requestsFor(target(big));
  ASSERT_EQ(requests.size(), 2u);
  const std::string first = requests[0].header("Range").value_or("");
  const std::string second = requests[1].header("Range").value_or("");
  const std::uint64_t start = std::stoull(first.substr(6));
  EXPECT_EQ(second, "bytes=" + std::to_string(start + 3000) + first.substr(first.find('-')));
  expectClient({{"big.bin", kBigChanged}, {"mid.bin", kMidChanged}});

  // A cancel keeps what arrived; the next run fetches only the rest.
  restoreOld();
  server.serve(target(big), packed);
  // big.bin comes first: the first bytes past the indexes are its blocks.
  const auto indexes = static_cast<std::int64_t>(index("big.bin").size() + index("mid.bin").size());
  onProgress = [indexes](Updater& updater, const Json& progress) {
    if (progress.getString("phase") == "download" && progress.getInt64("bytesDone", 0) > indexes) {
      updater.cancel();
    }
  };
  const RunRecord cancelled = run();
  EXPECT_EQ(cancelled.code, "cancelled");
  EXPECT_EQ(cancelled.detail, "big.bin: cancelled");
  const fs::path part = at(".tarn_update/" + big.sha256 + ".blocks.part");
  const std::uint64_t kept = fs::file_size(part) - 36;
  onProgress = nullptr;
  server.clearRequests();
  EXPECT_EQ(run().code, "updated");
  expectClient({{"big.bin", kBigChanged}, {"mid.bin", kMidChanged}});
  EXPECT_EQ(fetched(), index("big.bin").size() + index("mid.bin").size() + 3 * kBlock - kept);
  EXPECT_FALSE(fs::exists(part));
}

}  // namespace
}  // namespace tu::test
