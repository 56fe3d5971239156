// Whole runs against the loopback server: end codes, phases, the cache, resume, retries,
// install failures, removals, clean-up, cancel and the runaway body.
#include <gtest/gtest.h>

#include <memory>

#include "core/file_lock.h"
#include "core/files.h"
#include "publish/manifest_writer.h"
#include "support/test_data.h"
#include "update/packed_bytes.h"
#include "update/update_fixture.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

const std::vector<ClientFile> kTree = {
    {"system/L2.exe", std::string(9000, 'e') + noise(3000, 1)},
    {"system/L2 Config.ini", "[Video]\nWidth=800\n"},
    {"readme.txt", "hello"},
    {"data/empty.bin", ""},
    {"data/\xc3\xbcnicode.txt", "non-ASCII name"},
};

class UpdateRun : public UpdateFixture {
 protected:
  fs::path part(const std::string& path) const {
    return at(".tarn_update/" + entry(path).sha256 + ".part");
  }
  std::size_t requestsFor(const std::string& path) const {
    return server.requestsFor(target(entry(path))).size();
  }
  // Serves `bytes` as the packed file of `path`, with the manifest telling their length.
  void serveAs(const std::string& path, const std::string& bytes) {
    for (ManifestFile& file : manifest.files) {
      if (file.path == path) file.packed = static_cast<std::int64_t>(bytes.size());
    }
    serveManifest(manifestText(manifest));
    server.serve(target(entry(path)), bytes);
  }
};

TEST_F(UpdateRun, InstallsThenFindsNothingToDoThenRepairHashesEverything) {
  publish(kTree);
  RunRecord first = run();
  EXPECT_EQ(first.code, "updated");
  EXPECT_TRUE(first.ok && first.canPlay);
  EXPECT_EQ(first.detail, "");
  EXPECT_EQ(first.build, "build 1");
  EXPECT_EQ(first.phases, (std::vector<std::string>{"manifest", "check", "download"}));
  expectClient(kTree);
  const Json& lastCheck = first.progress[4];
  EXPECT_EQ(lastCheck.getString("phase"), "check");
  EXPECT_EQ(lastCheck.getInt64("filesDone", 0), 5);
  EXPECT_EQ(lastCheck.getInt64("bytesDone", 0), lastCheck.getInt64("bytesTotal", 0));
  const Json& lastDownload = first.progress.back();
  EXPECT_EQ(lastDownload.getInt64("filesDone", 0), 5);
  EXPECT_EQ(lastDownload.getInt64("filesTotal", 0), 5);
  EXPECT_EQ(lastDownload.getInt64("bytesDone", 0), lastDownload.getInt64("bytesTotal", 1));
  EXPECT_EQ(Json::parse(readTestFile(at(".tarn_update/cache.json"))).members().size(), 5u);

  server.clearRequests();
  RunRecord second = run();
  EXPECT_EQ(second.code, "uptodate");
  EXPECT_EQ(second.phases, (std::vector<std::string>{"manifest", "check"}));
  EXPECT_EQ(second.filesHashed, 0u) << "an unchanged client reads no file content";
  EXPECT_EQ(server.requests().size(), 2u) << "manifest.json and manifest.sig only";

  fs::remove(at(".tarn_update/cache.json"));
  RunRecord repair = run(CheckMode::Repair);
  EXPECT_EQ(repair.code, "uptodate");
  EXPECT_EQ(repair.filesHashed, 5u);
  EXPECT_EQ(Json::parse(readTestFile(at(".tarn_update/cache.json"))).members().size(), 5u);
}

TEST_F(UpdateRun, PhaseOrderAndTheForcedLastCheckMessage) {
  publish({kTree[1], kTree[2], kTree[3]});
  run();
  clockStep = 0;  // every unforced message after the first falls within 0.1 s
  EXPECT_EQ(run().events,
            (std::vector<std::string>{"phase manifest", "phase check", "progress check 1",
                                      "progress check 3", "done"}));
  publish({});
  EXPECT_EQ(run().events, (std::vector<std::string>{"phase manifest", "phase check", "done"}));
}

TEST_F(UpdateRun, OnceEntriesAreInstalledOnlyWhenMissing) {
  publish({{"user.ini", "defaults", true}, kTree[2]});
  writeTestFile(at("user.ini"), "the player's own");
  EXPECT_EQ(run().code, "updated");
  expectClient({{"user.ini", "the player's own"}, kTree[2]});
  fs::remove(at("user.ini"));
  EXPECT_EQ(run().code, "updated");
  expectClient({{"user.ini", "defaults"}, kTree[2]});
}

TEST_F(UpdateRun, ResumesAfterACutWithTheRightRange) {
  const ClientFile big{"big.bin", noise(100000, 2)};
  publish({big});
  const std::string packed = packedBytes("big.bin");
  server.scriptSequence(target(entry("big.bin")),
                        {{.body = packed, .closeAfter = 30000}, {.body = packed}});
  EXPECT_EQ(run().code, "updated");
  const auto requests = server.requestsFor(target(entry("big.bin")));
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_FALSE(requests[0].header("Range"));
  EXPECT_EQ(requests[1].header("Range").value_or(""), "bytes=30000-");
  expectClient({big});
}

TEST_F(UpdateRun, PartFilesFromEarlierRuns) {
  publish({kTree[0]});
  const std::string packed = packedBytes(kTree[0].path);
  writeTestFile(part(kTree[0].path), packed);  // complete: installed without a request
  EXPECT_EQ(run().code, "updated");
  EXPECT_EQ(requestsFor(kTree[0].path), 0u);
  EXPECT_FALSE(fs::exists(part(kTree[0].path)));

  fs::remove(at(kTree[0].path));
  server.clearRequests();
  writeTestFile(part(kTree[0].path), packed + "x");  // too long: starts over
  EXPECT_EQ(run().code, "updated");
  ASSERT_EQ(requestsFor(kTree[0].path), 1u);
  EXPECT_FALSE(server.requestsFor(target(entry(kTree[0].path)))[0].header("Range"));
  expectClient({kTree[0]});
}

TEST_F(UpdateRun, ThreeAttemptsThenTheThirdError) {
  publish({kTree[1], kTree[2]});
  const std::string packed = packedBytes("readme.txt");
  server.scriptSequence(target(entry("readme.txt")),
                        {{.status = 500}, {.status = 503}, {.body = packed}});
  EXPECT_EQ(run().code, "updated");
  EXPECT_EQ(requestsFor("readme.txt"), 3u);
}

// File k installs while k+1 downloads. Here the first install finds its download damaged (so
// it is fetched again once the second has arrived), and the third file's download fails three
// times while the second installs: the run ends with the third file's error, only after the
// second is installed, recorded and reported, and the forced messages keep their order.
TEST_F(UpdateRun, InstallsOverlapDownloadsAndEndInManifestOrder) {
  const std::vector<ClientFile> files = {
      {"a.bin", noise(40000, 5)}, {"b.bin", noise(30000, 6)}, {"c.bin", "never arrives"}};
  publish(files);
  std::string damaged = packedBytes("a.bin");
  damaged[damaged.size() - 10] = static_cast<char>(~damaged[damaged.size() - 10]);
  server.scriptSequence(target(entry("a.bin")),
                        {{.body = damaged}, {.body = packedBytes("a.bin")}});
  server.scriptSequence(target(entry("c.bin")),
                        {{.status = 500}, {.status = 502}, {.status = 404}});
  clockStep = 0;  // the forced messages only

  const RunRecord record = run();
  EXPECT_EQ(record.code, "failed");
  EXPECT_FALSE(record.ok);
  EXPECT_TRUE(record.canPlay);
  EXPECT_EQ(record.detail, "c.bin: HTTP 404");
  std::vector<std::string> downloads;
  std::uint64_t bytesBefore = 0;
  for (const Json& progress : record.progress) {
    if (progress.getString("phase") != "download") continue;
    downloads.push_back(progress.getString("file") + " " +
                        std::to_string(progress.getInt64("filesDone", -1)));
    const auto bytes = static_cast<std::uint64_t>(progress.getInt64("bytesDone", 0));
    EXPECT_GE(bytes, bytesBefore) << "downloaded bytes only grow";
    EXPECT_LE(bytes, static_cast<std::uint64_t>(progress.getInt64("bytesTotal", 0)));
    bytesBefore = bytes;
  }
  EXPECT_EQ(downloads,
            (std::vector<std::string>{"a.bin 0", "b.bin 0", "a.bin 1", "c.bin 1", "b.bin 2"}));
  EXPECT_EQ(record.events.back(), "done");
  EXPECT_EQ(requestsFor("a.bin"), 2u);
  EXPECT_EQ(requestsFor("c.bin"), 3u);
  expectClient({files[0], files[1]});
  EXPECT_EQ(Json::parse(readTestFile(at(".tarn_update/cache.json"))).members().size(), 2u);
}

TEST_F(UpdateRun, InstallFailuresAreRetriedAndReported) {
  const ClientFile file{"data/file.txt", std::string(20000, 'z')};
  publish({kTree[2], file});
  const std::string good = packedBytes(file.path);
  const auto changed = [&](std::size_t at, char value) {
    std::string bytes = good;
    bytes[at] = value;
    return bytes;
  };
  struct Case {
    std::string bytes;
    std::string text;
  };
  const std::uint32_t lastWord = 20 + 4 * 4;  // 20,000 bytes in 4096-byte blocks: 5 blocks
  const std::vector<Case> cases = {
      {changed(0, 'X'), "not a packed file"},
      {changed(4, 1), "packed file header does not match the manifest"},
      {changed(lastWord, static_cast<char>(good[lastWord] + 1)), "packed file is truncated"},
      {changed(good.size() - 10, static_cast<char>(~good[good.size() - 10])),
       "packed file is damaged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    server.clearRequests();
    serveAs(file.path, c.bytes);
    const RunRecord record = run();
    EXPECT_EQ(record.code, "failed");
    EXPECT_EQ(record.detail, file.path + ": " + c.text);
    EXPECT_EQ(requestsFor(file.path), 3u);
    EXPECT_FALSE(fs::exists(part(file.path)));
    EXPECT_FALSE(fs::exists(at("data/file.txt.tznew")));
  }
  // Good bytes that are not what the manifest vouches for.
  for (ManifestFile& entry : manifest.files) {
    if (entry.path == file.path) entry.sha256 = test::sha256Hex(std::string(20000, 'y'));
  }
  serveAs(file.path, good);
  EXPECT_EQ(run().detail, file.path + ": checksum mismatch after download");
  expectClient({kTree[2]});
}

TEST_F(UpdateRun, ShortAndRunawayBodies) {
  const ClientFile file{"file.bin", noise(50000, 3)};
  publish({file});
  const std::string packed = packedBytes(file.path);
  // The server would stall 1 MiB past the packed size: only a transfer that stops at the
  // packed size gets the "does not match" instead of waiting for a timeout.
  const std::string runaway = packed + std::string(2 << 20, 'r');
  const std::size_t stall = packed.size() + (1 << 20);
  const std::vector<Behaviour> bodies = {
      {.body = packed.substr(0, packed.size() - 10)},
      {.body = runaway, .stallAfter = stall},
      {.body = runaway, .length = Behaviour::Length::Unannounced, .stallAfter = stall},
  };
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    SCOPED_TRACE(i);
    server.clearRequests();
    scriptFile(file.path, bodies[i]);
    const RunRecord record = run();
    EXPECT_EQ(record.code, "failed");
    EXPECT_EQ(record.detail, "file.bin: download size does not match");
    EXPECT_EQ(requestsFor(file.path), 3u);
    EXPECT_FALSE(fs::exists(part(file.path)));
  }
  server.release();
}

TEST_F(UpdateRun, TargetsThatCannotBeWritten) {
  publish({kTree[2], {"blocker/inner.txt", "inner"}});
  writeTestFile(at("blocker"), "a file where a folder should be");
  writeTestFile(at("readme.txt/keep"), "a folder where a file should be");
  RunRecord record = run();
  EXPECT_EQ(record.detail, "readme.txt: cannot replace " + pathToUtf8(at("readme.txt")) +
                               " (is the game running?)");
  EXPECT_EQ(requestsFor("readme.txt"), 1u) << "not retried";
  EXPECT_TRUE(fs::exists(part("readme.txt"))) << "kept for the next run";
  fs::remove_all(at("readme.txt"));
  record = run();
  EXPECT_EQ(record.detail, "blocker/inner.txt: cannot write " +
                               pathToUtf8(at("blocker/inner.txt")) +
                               ".tznew (file in use or no permission?)");
  EXPECT_EQ(requestsFor("readme.txt"), 1u) << "the kept .part was installed";
  EXPECT_TRUE(fs::exists(part("blocker/inner.txt")));
  fs::remove(at("blocker"));
  server.clearRequests();
  EXPECT_EQ(run().code, "updated");
  EXPECT_EQ(server.requests().size(), 2u);
  expectClient({kTree[2], {"blocker/inner.txt", "inner"}});
}

TEST_F(UpdateRun, ReadOnlyAndLockedTargets) {
  publish({kTree[2]});
  writeTestFile(at("readme.txt"), "old");
  fs::permissions(at("readme.txt"), fs::perms::all, fs::perm_options::remove);
  fs::permissions(at("readme.txt"), fs::perms::owner_read, fs::perm_options::add);
  EXPECT_EQ(run().code, "updated");
  expectClient({kTree[2]});

  writeTestFile(at("readme.txt"), "old");
  HeldFile held(at("readme.txt"));
  if (!held.holding()) GTEST_SKIP() << "no mandatory file locks here";
  const RunRecord record = run();
  EXPECT_EQ(record.detail, "readme.txt: cannot replace " + pathToUtf8(at("readme.txt")) +
                               " (is the game running?)");
  EXPECT_TRUE(fs::exists(part("readme.txt")));
}

TEST_F(UpdateRun, RemovesFilesButNotFolders) {
  publish({kTree[2]}, {"old.txt", "olddir", "emptydir", "missing.txt"});
  writeTestFile(at("readme.txt"), "hello");
  writeTestFile(at("old.txt"), "obsolete");
  writeTestFile(at("olddir/file"), "kept");
  fs::create_directories(at("emptydir"));
  EXPECT_EQ(run().code, "updated");
  EXPECT_FALSE(fs::exists(at("old.txt")));
  EXPECT_TRUE(fs::exists(at("olddir/file")));
  EXPECT_TRUE(fs::is_directory(at("emptydir")));
  EXPECT_EQ(run().code, "uptodate");
}

TEST_F(UpdateRun, PartFilesAreClearedOnlyByAFinishedRun) {
  publish({kTree[2]});
  const fs::path work = at(".tarn_update");
  writeTestFile(work / "stale.part", "x");
  writeTestFile(work / "other.PART", "x");
  writeTestFile(work / "sub.part/inner.part", "x");
  server.script(target(entry("readme.txt")), {.status = 500});
  EXPECT_EQ(run().code, "failed");
  EXPECT_TRUE(fs::exists(work / "stale.part"));
  server.serve(target(entry("readme.txt")), packedBytes("readme.txt"));
  EXPECT_EQ(run().code, "updated");
  EXPECT_FALSE(fs::exists(work / "stale.part"));
  EXPECT_TRUE(fs::exists(work / "other.PART"));
  EXPECT_TRUE(fs::exists(work / "sub.part/inner.part"));
}

TEST_F(UpdateRun, AnotherRunInTheFolderEndsThisOneBeforeItTouchesAnything) {
  publish({kTree[2]});
  auto other = std::make_unique<FileLock>();
  fs::create_directories(at(".tarn_update"));
  ASSERT_EQ(other->tryLock(at(".tarn_update/update.lock")), FileLock::Result::Locked);
  RunRecord record = run();
  EXPECT_EQ(record.code, "failed");
  EXPECT_TRUE(record.canPlay);
  EXPECT_EQ(record.detail, "another update is running in this folder");
  EXPECT_EQ(record.phases, std::vector<std::string>{"manifest"});
  EXPECT_EQ(requestsFor("readme.txt"), 0u);
  other.reset();  // the other run has ended
  EXPECT_EQ(run().code, "updated");
  expectClient({kTree[2]});
}

// The cache is saved by the clock, not per file, and forgets the files the manifest dropped.
TEST_F(UpdateRun, CacheSavesFollowTheClockAndKeepOnlyTheManifestsFiles) {
  std::vector<ClientFile> tree;
  for (int i = 0; i < 45; ++i) tree.push_back({"f" + std::to_string(i), std::to_string(i)});
  publish(tree);
  const fs::path cacheFile = at(".tarn_update/cache.json");
  writeTestFile(cacheFile, R"({"gone.txt":[1,"1","1"]})");
  clockStep = 0;                   // time stands still but twice
  std::vector<std::size_t> saved;  // records in cache.json, as the download goes
  onProgress = [&](Updater& updater, const Json& progress) {
    if (progress.getString("phase") != "download") return;
    const std::size_t records = Json::parse(readTestFile(cacheFile)).members().size();
    if (saved.empty() || saved.back() != records) saved.push_back(records);
    // Ten seconds on after the 20th file closes the first batch, ten more after the 35th
    // places it; each time a save is due.
    const std::int64_t done = progress.getInt64("filesDone", 0);
    if (done == 20 || done == 35) updater.clock = [t = done == 20 ? 1010.0 : 1020.0] { return t; };
  };
  EXPECT_EQ(run().code, "updated");
  EXPECT_EQ(saved, (std::vector<std::size_t>{0, 20}));
  const Json cache = Json::parse(readTestFile(cacheFile));
  EXPECT_EQ(cache.members().size(), 45u);
  EXPECT_FALSE(cache.has("gone.txt"));
}

}  // namespace
}  // namespace tu::test
