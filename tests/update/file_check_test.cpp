#include "update/file_check.h"

#include <gtest/gtest.h>

#include "core/files.h"
#include "support/canned_fetcher.h"
#include "support/temp_dir.h"
#include "update/packed_bytes.h"
#include "update/updater.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using test::readTestFile;
using test::sha256Hex;
using test::TempDir;
using test::writeTestFile;

TEST(Sha256File, EmptyMissingAndLargerThanTheBuffer) {
  TempDir dir;
  writeTestFile(dir / "empty", "");
  std::string digest = "unchanged";
  ASSERT_TRUE(sha256File(dir / "empty", digest));
  EXPECT_EQ(digest, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  // Larger than the buffer, so more than one read.
  const std::string big(1048576 * 2 + 3, 'q');
  writeTestFile(dir / "big", big);
  ASSERT_TRUE(sha256File(dir / "big", digest));
  EXPECT_EQ(digest, sha256Hex(big));

  EXPECT_FALSE(sha256File(dir / "missing", digest));
}

// One client file "data/file.bin" checked against its entry, with the cache of the Updater.
class CheckFile : public ::testing::Test {
 protected:
  CheckFile() : updater(dir.path(), {}, config, fetcher, nullptr, nullptr, nullptr, nullptr) {
    writeTestFile(local, content);
    updater.loadCache(Manifest{});
  }

  bool check(CheckMode mode = CheckMode::Check) { return updater.checkFile(entry, local, mode); }

  TempDir dir;
  LauncherConfig config;
  test::CannedFetcher fetcher;
  Updater updater;
  const std::string content = "file content";
  fs::path local = dir / "data/file.bin";
  ManifestFile entry{"data/file.bin", 12, sha256Hex("file content"), 40, false};
};

// The cache spares a hash only for a record of the same size, stamp, shape and hash as the
// manifest's; a damaged file is remembered with its own hash; a cancelled hash records nothing;
// a repair trusts no record.
TEST_F(CheckFile, TheCacheSparesAHashOnlyWhenItCan) {
  updater.cancelFlag = true;
  EXPECT_FALSE(check());
  EXPECT_FALSE(updater.cache.has("data/file.bin"));
  updater.cancelFlag = false;

  writeTestFile(local, "file c0ntent");
  EXPECT_FALSE(check());
  EXPECT_EQ(updater.cache.get("data/file.bin").at(2).asString(), sha256Hex("file c0ntent"));
  EXPECT_EQ(updater.cache.get("data/file.bin").at(1).asString(), fileStamp(local));
  const std::string record = updater.cache.get("data/file.bin").dump();
  writeTestFile(local, "longer file content");
  EXPECT_FALSE(check());
  EXPECT_EQ(updater.cache.get("data/file.bin").dump(), record) << "a wrong size needs no hash";
  writeTestFile(local, content);
  EXPECT_TRUE(check());
  EXPECT_TRUE(check());  // the new stamp is trusted from now on
  entry.sha256 = sha256Hex("file c0ntent");  // a new build of the same size
  EXPECT_FALSE(check());
  EXPECT_EQ(updater.filesHashed, 3u);

  entry.sha256 = sha256Hex(content);
  for (const char* other : {R"("x")", R"([12])", R"(["12","s","h"])", R"([12,5,"h"])"}) {
    updater.cache.set("data/file.bin", Json::parse(other));
    EXPECT_TRUE(check());
  }
  EXPECT_TRUE(check());
  EXPECT_EQ(updater.filesHashed, 7u);

  // Damage that keeps size and stamp (as a disk error can) fools the cache; a repair finds it.
  const Json good = updater.cache.get("data/file.bin");
  writeTestFile(local, "file c0ntent");
  Json fooled = Json::array();
  fooled.push(good.at(0));
  fooled.push(fileStamp(local));
  fooled.push(good.at(2));
  updater.cache.set("data/file.bin", fooled);
  EXPECT_TRUE(check());
  EXPECT_FALSE(check(CheckMode::Repair));
  EXPECT_EQ(updater.filesHashed, 8u);
}

TEST(HashCache, KeepsOnlyTheManifestsRecordsAndWritesOnlyChanges) {
  TempDir dir;
  LauncherConfig config;
  test::CannedFetcher fetcher;
  Updater updater(dir.path(), {}, config, fetcher, nullptr, nullptr, nullptr, nullptr);
  Manifest manifest;
  manifest.files = {{"a/b", 1, "", 1, false}, {"c", 1, "", 1, false}};
  const fs::path file = dir / ".tarn_update/cache.json";
  for (const char* text : {"[1,2]", "garbage", "{\"a\":"}) {
    writeTestFile(file, text);
    updater.loadCache(manifest);
    EXPECT_TRUE(updater.cache.isObject());
    EXPECT_TRUE(updater.cache.members().empty());
  }
  writeTestFile(file, R"({ "gone" : [1, "2", "3"], "a/b" : [1, "2", "3"] })");
  updater.loadCache(manifest);
  updater.cache.set("c", Json::array());
  updater.saveCache();
  EXPECT_EQ(readTestFile(file), "{\"a/b\":[1,\"2\",\"3\"],\"c\":[]}\n");
  writeTestFile(file, "not written again while nothing changed");
  updater.saveCache();
  EXPECT_EQ(readTestFile(file), "not written again while nothing changed");
  fs::remove(file);
  updater.loadCache(manifest);
  EXPECT_TRUE(updater.cache.isObject());
}

}  // namespace
}  // namespace tu
