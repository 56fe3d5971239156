// publish: what it writes, that the launcher installs it, what it reuses and prunes, and
// every refusal.
#include <gtest/gtest.h>

#include <fstream>

#include "core/files.h"
#include "net/fetcher.h"
#include "support/http_test_server.h"
#include "support/test_data.h"
#include "tarnbuilder/publish_cache.h"
#include "tools/tarnbuilder_fixture.h"
#include "update/download.h"
#include "update/updater.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

const std::map<std::string, std::string> kClient = {
    {"system/L2.exe", std::string(9000, 'e') + noise(5000, 1)},
    {"system/L2 Config.ini", "[Video]\nWidth=800\n"},
    {"system/Option.ini", "[Video]\nGamePlayViewportX=1024\n"},
    {"data/\xc3\xbcnicode.txt", "non-ASCII name"},
    {"data/empty.bin", ""},
    {"Readme.txt", "hello"},
};

class Publish : public TarnbuilderTest {
 protected:
  // Installs what `out` holds into `folder` with the launcher's Updater, served over loopback
  // HTTP under the addresses the launcher asks for.
  std::string runLauncher(const fs::path& folder) const {
    HttpTestServer server;
    server.serve("/manifest.json", readTestFile(out / "manifest.json"));
    server.serve("/manifest.sig", readTestFile(out / "manifest.sig"));
    Manifest published = manifest();
    if (!published.launcher.path.empty()) published.files.push_back(published.launcher);
    for (const ManifestFile& entry : published.files) {
      server.serve("/" + fileUrlPath(entry),
                   readTestFile(resolveRelative(out, "files/" + entry.path + ".tz")));
    }
    LauncherConfig config;
    config.updateUrl = server.url("/");
    config.publicKey = publicKey;
    std::unique_ptr<Fetcher> fetcher = makeFetcher();
    std::string code;
    Updater updater(folder, {}, config, *fetcher, {}, {},
                    [&](const RunEnd& end) {
                      code = endCodeText(end.code) + (end.detail.empty() ? "" : ": " + end.detail);
                    },
                    {});
    updater.run(CheckMode::Check);
    return code;
  }
};

TEST_F(Publish, WritesWhatTheLauncherInstalls) {
  writeClient(kClient);
  // Never published: the launcher's own work files, and what the staff exclude.
  writeClient({{".tarn_update/cache.json", "{}"},
               {"system/L2.exe.tznew", "half"},
               {"big.part", "half"},
               {"logs/today.log", "x"},
               {"system/crash.LOG", "x"}});
  writeTestFile(root / "build/TarnLauncher.exe", "launcher v2");
  builder::PublishOptions options;
  options.build = "build 7";
  options.launcher = root / "build/TarnLauncher.exe";
  options.once = {"system\\Option.ini"};
  options.remove = {"system/old.dll"};
  options.exclude = {"logs/", "*.log"};
  const builder::PublishSummary summary = publish(options);
  EXPECT_EQ(summary.files, kClient.size());
  EXPECT_EQ(summary.packed, kClient.size() + 1);
  EXPECT_EQ(summary.excluded, 5u);

  const Manifest parsed = manifest();
  EXPECT_EQ(parsed.build, "build 7");
  std::vector<std::string> paths;
  for (const ManifestFile& entry : parsed.files) {
    paths.push_back(entry.path);
    EXPECT_EQ(entry.once, entry.path == "system/Option.ini") << entry.path;
  }
  // Byte order: upper case before lower case, UTF-8 after ASCII.
  EXPECT_EQ(paths, (std::vector<std::string>{"Readme.txt", "data/empty.bin",
                                             "data/\xc3\xbcnicode.txt", "system/L2 Config.ini",
                                             "system/L2.exe", "system/Option.ini"}));
  EXPECT_EQ(parsed.launcher.path, "TarnLauncher.exe");
  EXPECT_EQ(parsed.launcher.size, 11);
  EXPECT_EQ(parsed.remove, std::vector<std::string>{"system/old.dll"});

  const fs::path player = root / "player";
  EXPECT_EQ(runLauncher(player), "updated");
  EXPECT_EQ(clientFiles(player), kClient);
}

TEST_F(Publish, ReusesUnchangedPackedFilesAndPrunesTheRest) {
  writeClient(kClient);
  publish();
  const std::string unchanged = fileStamp(packed("system/L2.exe"));
  writeTestFile(out / "files/notes.html", "the staff's own file");

  writeClient({{"Readme.txt", "hello again"}});
  fs::remove(client / "data/empty.bin");
  builder::PublishSummary summary = publish();
  EXPECT_EQ(summary.packed, 1u);
  EXPECT_EQ(summary.reused, kClient.size() - 2);
  EXPECT_EQ(summary.pruned, 1u);
  EXPECT_EQ(fileStamp(packed("system/L2.exe")), unchanged) << "reused, not rewritten";
  EXPECT_FALSE(fs::exists(packed("data/empty.bin")));
  EXPECT_TRUE(fs::exists(out / "files/notes.html")) << "only packed files are pruned";
  const fs::path player = root / "player";
  EXPECT_EQ(runLauncher(player), "updated");
  std::map<std::string, std::string> expected = kClient;
  expected.erase("data/empty.bin");
  expected["Readme.txt"] = "hello again";
  EXPECT_EQ(clientFiles(player), expected);

  // A packed file that is not what the cache says is packed again, as is everything when
  // the options change or --fresh is given.
  writeTestFile(packed("system/L2.exe"), "damaged");
  EXPECT_EQ(publish().packed, 1u);
  EXPECT_EQ(fileStamp(packed("system/L2.exe")) == unchanged, false);
  builder::PublishOptions options;
  options.pack.level = 9;
  EXPECT_EQ(publish(options).packed, kClient.size() - 1);
  options.fresh = true;
  EXPECT_EQ(publish(options).reused, 0u);

  // A removed folder of packed files goes with its last file.
  fs::remove_all(client / "system");
  publish();
  EXPECT_FALSE(fs::exists(out / "files/system"));
}

// Every refusal is listed at once, before anything is written.
TEST_F(Publish, RefusesBeforeWritingAnything) {
  writeClient({{"a", "file a"}, {"a.tz/b", "clash"}, {"a.tzi/c", "clash"}, {"data/x.bin", "x"}});
  // The signing key would be handed to every player.
  fs::copy_file(keyFile, client / "key.txt");
  builder::PublishOptions options;
  options.keyFile = client / "key.txt";
  options.once = {"missing.txt"};
  options.remove = {"../outside.txt", "data/x.bin"};
  std::vector<std::string> problems = {
      "a: its packed file files/a.tz would have the name of a published folder",
      "a: its block index files/a.tzi would have the name of a published folder",
      "key.txt: this is the signing key",
      "--once missing.txt: no such file is published",
      "--remove ../outside.txt: the launcher refuses this path",
      "--remove data/x.bin: this file is also published"};
  // A name the launcher refuses (which ones is isSafeRelativePath's), two that differ only in
  // letter case, a link loop. Only other systems than Windows can make them all.
  for (const char* name : {"nul.txt", "Data.bin", "data.BIN"})
    std::ofstream(client / name).put('x');
  if (clientFiles(client).size() == 8) {
    fs::create_directory_symlink(client, client / "loop");
    problems.insert(problems.end(),
                    {"nul.txt: the launcher refuses this path", "loop: link loop",
                     "Data.bin and data.BIN: names that differ only in letter case"});
  }
  const std::string err = publishFails(options);
  for (const std::string& problem : problems) {
    EXPECT_NE(err.find(problem), std::string::npos) << problem << " in " << err;
  }
  // Output and client folder must stay apart.
  builder::PublishOptions same;
  same.out = client;
  EXPECT_NE(publishFails(same).find("must not be the client folder"), std::string::npos);
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(Publish, AFailedPublishKeepsTheOldManifestAndATruthfulCache) {
  writeClient(kClient);
  publish();
  const std::string before = readTestFile(out / "manifest.json");
  writeClient({{"system/L2.exe", noise(20000, 2)}, {"Readme.txt", "changed"}});
  // Biggest first on one thread: L2.exe is packed anew, then Readme.txt cannot be written.
  fs::create_directories(out / "files/Readme.txt.tz.tmp");
  builder::PublishOptions options;
  options.jobs = 1;
  EXPECT_NE(publishFails(options).find("cannot write"), std::string::npos);
  EXPECT_EQ(readTestFile(out / "manifest.json"), before);
  const builder::PublishCache cache = builder::loadPublishCache(out);
  EXPECT_EQ(cache.count("Readme.txt"), 0u);
  EXPECT_EQ(cache.at("system/L2.exe").packed, fs::file_size(packed("system/L2.exe")));
  EXPECT_EQ(cache.at("system/L2.exe").size, 20000u);

  fs::remove_all(out / "files/Readme.txt.tz.tmp");
  EXPECT_EQ(publish(options).packed, 1u);
  EXPECT_EQ(runLauncher(root / "player"), "updated");
}

}  // namespace
}  // namespace tu::test
