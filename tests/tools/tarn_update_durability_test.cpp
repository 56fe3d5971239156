// kill -9 at random moments of a run that updates a client: afterwards every file holds its old
// or its new content (never a mix, never cut short), and one more run completes the client.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <thread>

#include "core/files.h"
#include "support/test_data.h"
#include "tarn_update_fixture.h"

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

  // Every file old or new; nothing else but temporaries beside them. True when one of the
  // temporaries was there (the kill came during an install).
  bool expectOldOrNew() {
    std::set<fs::path> known{at("TarnLauncher.json")};
    for (const Versions& file : files) {
      const fs::path local = at(file.path);
      known.insert(local);
      const std::optional<std::string> now =
          fs::exists(local) ? std::optional<std::string>(readTestFile(local)) : std::nullopt;
      EXPECT_TRUE(now == file.before || now == file.after)
          << file.path << " holds neither its old nor its new content ("
          << (now ? std::to_string(now->size()) + " bytes" : "missing") << ")";
    }
    bool installing = false;
    for (auto it = fs::recursive_directory_iterator(client);
         it != fs::recursive_directory_iterator(); ++it) {
      if (it->path().filename() == ".tarn_update") {
        it.disable_recursion_pending();
        continue;
      }
      if (!it->is_regular_file() || known.count(it->path()) != 0) continue;
      const std::string name = it->path().string();
      const bool temporary =
          name.ends_with(".tznew") && known.count(fs::path(name.substr(0, name.size() - 6))) != 0;
      EXPECT_TRUE(temporary) << "unexpected file " << name;
      installing = installing || temporary;
    }
    std::string cache;
    if (readFile(at(".tarn_update/cache.json"), cache)) {
      EXPECT_TRUE(Json::parse(cache).isObject()) << "cache.json damaged";
    }
    return installing;
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
  int midInstall = 0;
  int withPart = 0;
  int ranToEnd = 0;
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
      if (exitCodeOf(child.wait()) >= 0) ++ranToEnd;  // not killed
    }
    SCOPED_TRACE("kill " + std::to_string(kill));
    if (expectOldOrNew()) ++midInstall;
    std::error_code ec;
    for (fs::directory_iterator it(at(".tarn_update"), ec), end; !ec && it != end;
         it.increment(ec)) {
      if (it->path().extension() == ".part") {
        ++withPart;
        break;
      }
    }
    if (HasFailure()) return;

    const ToolRun complete = runTool(argsFor({}));
    ASSERT_EQ(complete.exitCode(), 0) << complete.out << complete.err;
    expectComplete();
    if (HasFailure()) return;
  }
  std::cout << kKills << " kills (seed " << kSeed << "): " << midInstall << " during an install, "
            << withPart << " with a .part file, " << ranToEnd << " after the run had ended\n";
}

}  // namespace
}  // namespace tu::test
