// Whole runs against the loopback server: end codes, phases, the cache, resume, retries,
// install failures, removals, clean-up, cancel and the runaway body.
#include <gtest/gtest.h>

#include <chrono>
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
};

TEST_F(UpdateRun, InstallsThenTrustsTheCacheThenRepairChecksEverything) {
  publish(kTree);
  RunRecord first = run();
  // The messages' members are the controller test's; here what a client of five files adds.
  EXPECT_EQ(first.code, "updated");
  EXPECT_EQ(first.phases, (std::vector<std::string>{"manifest", "check", "download"}));
  expectClient(kTree);
  EXPECT_EQ(first.progress[4].get("speed").asNumber(), 0) << "a speed is only told in downloads";
  EXPECT_EQ(first.progress.back().getInt64("filesDone", 0), 5);

  // Whole seconds: a stamp that every file system keeps exactly when it is set back.
  const fs::path exe = at(kTree[0].path);
  const auto stamp = std::chrono::floor<std::chrono::seconds>(fs::last_write_time(exe));
  fs::last_write_time(exe, stamp);
  server.clearRequests();
  clockStep = 0;  // every unforced message after the first falls within 0.1 s
  EXPECT_EQ(run().events,
            (std::vector<std::string>{"phase manifest", "phase check", "progress check 1",
                                      "progress check 5", "done"}));
  EXPECT_EQ(server.requests().size(), 2u) << "manifest.json and manifest.sig only";
  // Damage that keeps size and stamp: a normal check reads no unchanged file; a repair does.
  writeTestFile(exe, "E" + kTree[0].content.substr(1));
  fs::last_write_time(exe, stamp);
  EXPECT_EQ(run().code, "uptodate");
  EXPECT_EQ(run(CheckMode::Repair).code, "updated");
  expectClient(kTree);
  publish({});
  EXPECT_EQ(run().events, (std::vector<std::string>{"phase manifest", "phase check", "done"}));
}

// A cut download resumes with the right range; a complete .part from an earlier run is
// installed without a request and a too long one is fetched anew.
TEST_F(UpdateRun, DownloadsResumeAndReuseTheirPartFiles) {
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

  server.clearRequests();
  for (const std::string& kept : {packed, packed + "x"}) {
    fs::remove(at("big.bin"));
    writeTestFile(part("big.bin"), kept);
    EXPECT_EQ(run().code, "updated");
    EXPECT_FALSE(fs::exists(part("big.bin")));
  }
  ASSERT_EQ(requestsFor("big.bin"), 1u) << "only for the .part that was too long";
  EXPECT_FALSE(server.requestsFor(target(entry("big.bin")))[0].header("Range"));
  expectClient({big});
}

// File k installs while k+1 downloads: a damaged first download is fetched again after the
// second, and the third's failure ends the run only once the second is installed and recorded.
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
  expectClient({files[0], files[1]});
  EXPECT_EQ(Json::parse(readTestFile(at(".tarn_update/cache.json"))).members().size(), 2u);
}

// A wrong download is fetched three times, then the run ends with the third's text and leaves
// nothing: a short body, one running past the packed size (the server stalls 1 MiB past it, so
// only a transfer that stops there ends in time), bytes the manifest does not vouch for.
TEST_F(UpdateRun, WrongDownloadsAreRetriedAndReported) {
  const ClientFile file{"file.bin", noise(50000, 3)};
  publish({file});
  const std::string packed = packedBytes(file.path);
  const std::string runaway = packed + std::string(2 << 20, 'r');
  const std::size_t stall = packed.size() + (1 << 20);
  const std::vector<Behaviour> bodies = {
      {.body = packed.substr(0, packed.size() - 10)},
      {.body = runaway, .stallAfter = stall},
      {.body = runaway, .length = Behaviour::Length::Unannounced, .stallAfter = stall},
      {.body = packed},
  };
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    SCOPED_TRACE(i);
    const bool last = i + 1 == bodies.size();
    if (last) {
      manifest.files[0].sha256 = test::sha256Hex("other content");
      serveManifest(manifestText(manifest));
    }
    server.clearRequests();
    script(file.path, bodies[i]);
    const RunRecord record = run();
    EXPECT_EQ(record.code, "failed");
    EXPECT_EQ(record.detail, last ? "file.bin: checksum mismatch after download"
                                  : "file.bin: download size does not match");
    EXPECT_EQ(requestsFor(file.path), 3u);
    EXPECT_FALSE(fs::exists(part(file.path)));
    expectClient({});
  }
}

TEST_F(UpdateRun, TargetsThatCannotBeWritten) {
  const std::vector<ClientFile> tree = {kTree[2], {"blocker/inner.txt", "inner"}};
  publish(tree);
  writeTestFile(at("blocker"), "a file where a folder should be");
  writeTestFile(at("readme.txt/keep"), "a folder where a file should be");
  const std::string inUse =
      "readme.txt: cannot replace " + pathToUtf8(at("readme.txt")) + " (is the game running?)";
  EXPECT_EQ(run().detail, inUse);
  EXPECT_EQ(requestsFor("readme.txt"), 1u) << "not retried";
  EXPECT_TRUE(fs::exists(part("readme.txt"))) << "kept for the next run";
  fs::remove_all(at("readme.txt"));
  EXPECT_EQ(run().detail, "blocker/inner.txt: cannot write " + pathToUtf8(at("blocker/inner.txt")) +
                              ".tznew (file in use or no permission?)");
  EXPECT_EQ(requestsFor("readme.txt"), 1u) << "the kept .part was installed";
  EXPECT_TRUE(fs::exists(part("blocker/inner.txt")));
  fs::remove(at("blocker"));
  server.clearRequests();
  EXPECT_EQ(run().code, "updated");
  EXPECT_EQ(server.requests().size(), 2u);
  expectClient(tree);

  // A read-only target is replaced; one that the game holds open is not.
  writeTestFile(at("readme.txt"), "old");
  fs::permissions(at("readme.txt"), fs::perms::owner_read);
  EXPECT_EQ(run().code, "updated");
  expectClient(tree);
  writeTestFile(at("readme.txt"), "old");
  HeldFile held(at("readme.txt"));
  if (held.holding()) {  // only where files can be locked
    EXPECT_EQ(run().detail, inUse);
    EXPECT_TRUE(fs::exists(part("readme.txt")));
  }
}

// What the manifest removes goes (files only, never folders), and so do stray .part files, but
// only once a run has finished. A damaged file that a failed run hashed is fetched by the next.
TEST_F(UpdateRun, AFinishedRunRemovesFilesButNotFoldersAndItsPartFiles) {
  publish({kTree[2]}, {"old.txt", "olddir", "emptydir", "missing.txt"});
  writeTestFile(at("readme.txt"), "hellx");
  writeTestFile(at("old.txt"), "obsolete");
  writeTestFile(at("olddir/file"), "kept");
  fs::create_directories(at("emptydir"));
  const fs::path work = at(".tarn_update");
  for (const char* name : {"stale.part", "other.PART", "sub.part/inner.part"}) {
    writeTestFile(work / name, "x");
  }
  server.script(target(entry("readme.txt")), {.status = 500});
  EXPECT_EQ(run().code, "failed");
  EXPECT_TRUE(fs::exists(work / "stale.part"));
  server.serve(target(entry("readme.txt")), packedBytes("readme.txt"));
  EXPECT_EQ(run().code, "updated");
  expectClient({kTree[2], {"olddir/file", "kept"}});
  EXPECT_TRUE(fs::is_directory(at("emptydir")));
  EXPECT_FALSE(fs::exists(work / "stale.part"));
  EXPECT_TRUE(fs::exists(work / "other.PART"));
  EXPECT_TRUE(fs::exists(work / "sub.part/inner.part"));
  EXPECT_EQ(run().code, "uptodate");
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

// While files are placed the cache is saved by the clock, not per file. Time stands still but
// where the test moves it: a second on places a batch, five seconds on a save is due too.
TEST_F(UpdateRun, TheCacheIsSavedByTheClockDuringADownload) {
  std::vector<ClientFile> tree;
  for (int i = 0; i < 10; ++i) tree.push_back({"f" + std::to_string(i), std::to_string(i)});
  publish(tree);
  clockStep = 0;
  std::vector<std::size_t> saved;  // records in cache.json, as they change
  onProgress = [&](Updater&, const Json& progress) {
    if (progress.getString("phase") != "download") return;
    const std::size_t records =
        Json::parse(readTestFile(at(".tarn_update/cache.json"))).members().size();
    if (saved.empty() || saved.back() != records) saved.push_back(records);
    const std::int64_t done = progress.getInt64("filesDone", 0);
    if (done == 4 || done == 7 || done == 9) now = done == 4 ? 1002 : done == 7 ? 1004 : 1010;
  };
  EXPECT_EQ(run().code, "updated");
  EXPECT_EQ(saved, (std::vector<std::size_t>{0, 7}));
}

}  // namespace
}  // namespace tu::test
