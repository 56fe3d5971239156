// The real tarn-update and the file system: kill -9 at random moments (every file old or new,
// and one more run completes), its file calls and a quarantining scanner (io_shim.c), the
// memory a packed file of one-byte blocks costs.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "core/files.h"
#include "publish/manifest_writer.h"
#include "support/test_data.h"
#include "tarn_update_fixture.h"
#include "update/packed_bytes.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kSeed = 20240611;
constexpr int kKills = 50;

// Compressible, but different for every seed.
std::string text(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string out;
  out.reserve(size + 32);
  while (out.size() < size) out += "line " + std::to_string(random() % 1000) + " of the data\n";
  out.resize(size);
  return out;
}

class Durability : public TarnUpdateTest {
 protected:
  Durability() {
    constexpr std::size_t kMiB = 1048576;
    for (int i = 0; i < 30; ++i) {
      const std::string path = "small/f" + std::to_string(i) + ".txt";
      files.push_back({path, "old " + std::to_string(i), "new " + std::to_string(i) + text(3000, i)});
      if (i == 14) files.push_back({"data/big1.bin", noise(3 * kMiB, 10), noise(3 * kMiB, 11)});
    }
    files.push_back({"data/big2.bin", text(4 * kMiB, 20), text(4 * kMiB, 21)});
    files.push_back({"data/big3.bin", noise(2 * kMiB, 30), noise(5 * kMiB / 2, 31)});
    files.push_back({"data/added.bin", std::nullopt, noise(kMiB, 40)});
    files.push_back({"system/Option.ini", "[Video]\nWidth=800\n", "[Video]\nWidth=1024\n"});
    files.push_back({"same/keep.bin", noise(200000, 50), noise(200000, 50)});
    files.push_back({"old/removed.txt", "to be removed", std::nullopt});

    std::vector<std::string> remove;
    for (const Versions& file : files) {
      if (file.after) {
        newTree.push_back({file.path, *file.after});
      } else {
        remove.push_back(file.path);
      }
    }
    publish(newTree, remove);
  }

  // The client as it was before the update; `keepWork` leaves the work folder (cache, .part).
  void restoreOld(bool keepWork) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(client)) {
      if (keepWork && entry.path().filename() == ".tarn_update") continue;
      fs::remove_all(entry.path(), ec);
    }
    writeConfig();
    for (const Versions& file : files) {
      if (file.before) writeTestFile(at(file.path), *file.before);
    }
  }

  // Every file old or new; nothing else but a temporary beside one of them.
  void expectOldOrNew() {
    std::map<std::string, std::string> found = clientFiles(client);
    found.erase("TarnLauncher.json");
    for (const Versions& file : files) {
      const auto it = found.find(file.path);
      const auto now = it == found.end() ? std::nullopt : std::optional(it->second);
      EXPECT_TRUE(now == file.before || now == file.after)
          << file.path << " holds neither its old nor its new content ("
          << (now ? std::to_string(now->size()) + " bytes" : "missing") << ")";
      if (it != found.end()) found.erase(it);
    }
    for (const auto& [path, content] : found) {
      EXPECT_TRUE(std::ranges::any_of(files, [&](auto& f) { return f.path + ".tznew" == path; }))
          << "unexpected file " << path;
    }
    std::string cache;
    if (readFile(at(".tarn_update/cache.json"), cache)) {
      EXPECT_TRUE(Json::parse(cache).isObject()) << "cache.json damaged";
    }
  }

  void expectComplete() {
    expectTool(newTree);
    for (const auto& entry : fs::directory_iterator(at(".tarn_update"))) {
      EXPECT_NE(entry.path().extension(), ".part") << entry.path();
    }
  }

  // Absent before: added by the update; absent after: removed by it.
  struct Versions {
    std::string path;
    std::optional<std::string> before;
    std::optional<std::string> after;
  };
  std::vector<Versions> files;
  std::vector<ClientFile> newTree;
};

using Clock = std::chrono::steady_clock;

TEST_F(Durability, KilledAtRandomMomentsEveryFileIsOldOrNewAndTheNextRunCompletes) {
  // How long a whole run takes from its first message, to spread the kills over it: the
  // quickest of three, as the first one also loads the program from disk.
  Clock::duration runTime = Clock::duration::max();
  for (int i = 0; i < 3; ++i) {
    restoreOld(false);
    ChildProcess child(program(), argsFor({"--json"}));
    ASSERT_TRUE(child.waitForFirstLine());
    const Clock::time_point start = Clock::now();
    ASSERT_EQ(exitCodeOf(child.wait()), 0) << child.err();
    runTime = std::min(runTime, Clock::now() - start);
    expectComplete();
  }

  std::mt19937 random(kSeed);
  for (int kill = 0; kill < kKills; ++kill) {
    // Every tenth round starts from nothing; the others keep the work folder (the cache of
    // the last complete run), as a real client would.
    restoreOld(kill % 10 != 0);
    const auto delay = std::chrono::duration_cast<Clock::duration>(
        runTime * std::uniform_real_distribution<double>(0.0, 1.0)(random));
    {
      ChildProcess child(program(), argsFor({"--json"}));
      if (child.waitForFirstLine()) std::this_thread::sleep_for(delay);
      child.sendSignal(SIGKILL);  // harmless to a child that has ended but is not reaped
      child.wait();
    }
    SCOPED_TRACE("kill " + std::to_string(kill));
    expectOldOrNew();
    if (HasFailure()) return;

    const ToolRun complete = runTool(argsFor({}));
    ASSERT_EQ(complete.exitCode(), 0) << complete.out << complete.err;
    expectComplete();
    if (HasFailure()) return;
  }
}

TEST_F(TarnUpdateTest, DataIsOnDiskBeforeItsNameAndNoPlayersFileIsEverDeleted) {
  const std::vector<ClientFile> tree = {{"system/L2.exe", noise(70000, 1)},
                                        {"system/Option.ini", "[Video]\nWidth=800\n"},
                                        {"readme.txt", "hello"}};
  publish(tree);
  writeTestFile(at("readme.txt"), "the player's");
  const fs::path log = root / "calls.log";
  // The first rename onto readme.txt and onto cache.json finds its temporary quarantined.
  const ChildOptions options{.environment = {"LD_PRELOAD=" TARN_IO_SHIM,
                                             "TARN_SHIM_LOG=" + log.string(),
                                             "TARN_SHIM_FAIL_RENAME=/readme.txt,/cache.json"}};
  const ToolRun run = runTool(argsFor({"--json"}), options);
  EXPECT_EQ(run.exitCode(), 1) << run.err;
  expectTool({tree[0], tree[1], {"readme.txt", "the player's"}});

  std::set<std::string> flushed;
  std::set<std::string> foldersToFlush;
  std::size_t renames = 0;
  std::istringstream calls(readTestFile(log));
  for (std::string line; std::getline(calls, line);) {
    std::istringstream words(line);
    std::string call, path, to;
    words >> call >> path >> to;
    if (call == "fsync") {
      flushed.insert(path);
      foldersToFlush.erase(path);
    } else if (call == "rename") {
      // Each temporary is flushed again for each rename: the flush of an earlier write of
      // the same name does not count.
      EXPECT_EQ(flushed.erase(path), 1u) << "renamed before its data was flushed: " << line;
      foldersToFlush.insert(to.substr(0, to.rfind('/')));
      ++renames;
    } else if (call == "remove") {
      EXPECT_TRUE(path.ends_with(".tmp") || path.ends_with(".tznew") || path.ends_with(".part"))
          << "deleted " << path;
    }
  }
  EXPECT_TRUE(foldersToFlush.empty())
      << "a rename whose folder was never flushed, in " << *foldersToFlush.begin();
  EXPECT_GE(renames, 3u) << "two client files and the cache";
}

TEST_F(TarnUpdateTest, ATableOfOneByteBlocksCostsNoMoreMemoryThanSmallBlocks) {
#ifndef TARN_PEAK_MEMORY
  GTEST_SKIP() << "needs peak_memory from the benchmarks (TARN_BUILD_BENCH)";
#else
  const std::string data = noise(1 << 20, 9);
  // Measured by a small program of its own (peak_memory, from the benchmarks) that starts the
  // tool: a child forked from this big test process would count this process's pages too.
  const auto peakInstalling = [&](const std::string& packed) {
    ManifestFile entry{"big.bin", static_cast<std::int64_t>(data.size()), sha256Hex(data),
                       static_cast<std::int64_t>(packed.size()), false};
    manifest.files = {entry};
    serveManifest(manifestText(manifest));
    server.serve(target(entry), packed);
    fs::remove(at("big.bin"));
    const fs::path peak = root / "peak.txt";
    ChildProcess child(TARN_PEAK_MEMORY, {peak.string(), program().string(), client.string()});
    EXPECT_EQ(exitCodeOf(child.wait()), 0) << child.out() << child.err();
    EXPECT_EQ(readTestFile(at("big.bin")), data);
    return std::stol(readTestFile(peak));
  };
  std::vector<CraftedBlock> bytes;
  for (const char c : data) bytes.push_back({true, std::string(1, c)});
  const long oneByte = peakInstalling(craftPacked(data.size(), 1, data.size(), bytes));
  const long small = peakInstalling(packBytes(data, {4096, 1}));
  std::cout << "peak memory: " << oneByte << " KiB with one-byte blocks, " << small
            << " KiB with 4 KiB blocks\n";
  // Holding the 4 MiB table whole costs at least that much more; reading it in windows, about
  // what the bigger download costs the fetcher.
  EXPECT_LT(oneByte, small + 3072) << "the 4 MiB table must not be held whole";
#endif
}

}  // namespace
}  // namespace tu::test
