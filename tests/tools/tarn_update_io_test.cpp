// tarn-update and the file system: the order of its file calls and a scanner that quarantines
// a fresh file (through a preloaded shim, io_shim.c), two runs started at once on one folder,
// and the memory a packed file of one-byte blocks costs.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>
#include <sstream>
#include <tuple>

#include "core/files.h"
#include "publish/manifest_writer.h"
#include "support/test_data.h"
#include "tarn_update_fixture.h"
#include "update/packed_bytes.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

TEST_F(TarnUpdateTest, DataIsOnDiskBeforeItsNameAndNoPlayersFileIsEverDeleted) {
  const std::vector<ClientFile> tree = {
      {"system/L2.exe", noise(70000, 1)},
      {"system/Option.ini", "[Video]\nWidth=800\n"},
      {"readme.txt", "hello"},
  };
  publish(tree);
  writeTestFile(at("readme.txt"), "the player's");
  const fs::path log = root / "calls.log";
  ChildOptions options;
  // The first rename onto readme.txt and onto cache.json finds its temporary quarantined.
  options.environment = {"LD_PRELOAD=" TARN_IO_SHIM, "TARN_SHIM_LOG=" + log.string(),
                         "TARN_SHIM_FAIL_RENAME=/readme.txt,/cache.json"};
  const ToolRun run = runTool(argsFor({"--json"}), options);
  EXPECT_EQ(run.exitCode(), 1) << run.err;
  EXPECT_EQ(
      doneOf(run.lines).getString("detail"),
      "readme.txt: cannot replace " + pathToUtf8(at("readme.txt")) + " (is the game running?)");
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

TEST_F(TarnUpdateTest, TwoRunsStartedTogetherOneUpdatesAndNothingIsLost) {
  std::vector<ClientFile> tree;
  for (int i = 0; i < 100; ++i) {
    tree.push_back({"data/d" + std::to_string(i % 7) + "/f" + std::to_string(i), noise(2000, i)});
  }
  publish(tree);
  constexpr int kTrials = 20;
  int refused = 0;
  for (int trial = 0; trial < kTrials; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    fs::remove_all(client);
    writeConfig();
    ChildProcess first(program(), argsFor({"--json"}));
    ChildProcess second(program(), argsFor({"--json"}));
    using End = std::tuple<std::string, int, std::string>;  // code, exit code, detail
    const auto endOf = [](ChildProcess& child) {
      const int status = child.wait();
      const Json done = doneOf(child.lines());
      return End(done.getString("code"), exitCodeOf(status), done.getString("detail"));
    };
    std::vector<End> ends = {endOf(first), endOf(second)};
    std::sort(ends.begin(), ends.end());
    if (std::get<0>(ends[0]) == "failed") {
      ++refused;
      EXPECT_EQ(ends, (std::vector<End>{{"failed", 1, "another update is running in this folder"},
                                        {"updated", 0, ""}}));
    } else {
      // The later run started after the first had ended.
      EXPECT_EQ(ends, (std::vector<End>{{"updated", 0, ""}, {"uptodate", 0, ""}}));
    }
    expectTool(tree);
    if (HasFailure()) return;
  }
  std::cout << refused << " of " << kTrials << " pairs overlapped; the later run was refused\n";
  EXPECT_GT(refused, 0) << "no pair of runs overlapped: the test proved nothing";
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
  // Header, a table of four bytes per byte of the file, then every byte a raw block.
  std::string oneByteBlocks("TZ1\0", 4);
  putLe(oneByteBlocks, data.size(), 8);
  putLe(oneByteBlocks, 1, 4);
  putLe(oneByteBlocks, data.size(), 4);
  for (std::size_t i = 0; i < data.size(); ++i) putLe(oneByteBlocks, 0x80000001u, 4);
  oneByteBlocks += data;
  const long oneByte = peakInstalling(oneByteBlocks);
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
