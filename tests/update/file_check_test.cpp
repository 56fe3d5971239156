#include "update/file_check.h"

#include <gtest/gtest.h>

#include <atomic>

#include "core/files.h"
#include "support/temp_dir.h"
#include "update/packed_bytes.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

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

// A file is recorded with its own hash, so the record never vouches for other content; a
// stopped hash records nothing; a wrong size needs no hash; a file installed "once" only has
// to be there. (That a normal check trusts a record and a repair does not, UpdateRun shows.)
TEST(CheckFile, RecordsWhatItHashesAndHashesOnlyWhatItMust) {
  TempDir dir;
  HashCache cache(dir / "cache.json");
  std::atomic<bool> cancel{true};
  const fs::path local = dir / "data/file.bin";
  ManifestFile entry{"data/file.bin", 12, sha256Hex("file content"), 40, false};
  const auto check = [&] { return checkFile(entry, local, CheckMode::Check, cache, cancel); };
  const auto recorded = [&] {
    return cache.lookup(entry.path, fs::file_size(local), fileStamp(local));
  };

  writeTestFile(local, "file c0ntent");
  EXPECT_FALSE(check());
  EXPECT_FALSE(recorded());
  cancel = false;
  EXPECT_FALSE(check());
  EXPECT_EQ(recorded(), sha256Hex("file c0ntent"));
  EXPECT_FALSE(check()) << "its own record never vouches for the manifest's content";
  writeTestFile(local, "longer file content");
  EXPECT_FALSE(check());
  EXPECT_FALSE(recorded()) << "a wrong size needs no hash";

  entry.once = true;
  writeTestFile(local, "the player's own");
  EXPECT_TRUE(check());
  fs::remove(local);
  EXPECT_FALSE(check());
}

}  // namespace
}  // namespace tu::test
