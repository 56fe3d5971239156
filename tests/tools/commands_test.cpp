// The command line as staff use it: keys, config, exit codes, the UI pack and exclude patterns.
// publish and verify have their own tests; here they run through the commands once.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <tuple>

#include "core/config.h"
#include "core/files.h"
#include "core/json.h"
#include "support/temp_dir.h"
#include "tarnbuilder/commands.h"
#include "tarnbuilder/glob.h"
#include "ui/ui_pack.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

Result tarnbuilder(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  builder::Console console{out, err};
  const int code = builder::runTarnbuilder(args, console);
  return {code, out.str(), err.str()};
}

TEST(Commands, ConfigIsWhatTheLauncherLoads) {
  TempDir dir;
  const std::string key(64, 'A');
  const Result run = tarnbuilder(
      {"config", "--pubkey", key, "--update-url", "https://example.com/updater",
       "--server-name", "Tarn \xc5\xa0ilas", "--news-url", "https://example.com/news.json",
       "--link", "website=https://example.com", "--link", "forum=http://forum.example.com",
       "--language", "EN", "--status-host", "game.example.com", "--status-port", "7777",
       "--no-desktop-shortcut", pathToUtf8(dir.path())});
  ASSERT_EQ(run.code, 0) << run.err;
  LauncherConfig config;
  std::string err;
  ASSERT_TRUE(loadConfig(dir / "TarnLauncher.json", config, err)) << err;
  EXPECT_EQ(config.serverName + "|" + config.updateUrl + "|" + config.publicKey + "|" +
                config.newsUrl + "|" + config.statusHost + ":" + std::to_string(config.statusPort) +
                "|" + config.language + "|" + config.game + (config.closeOnPlay ? "|close" : "") +
                (config.desktopShortcut ? "|shortcut" : ""),
            "Tarn \xc5\xa0ilas|https://example.com/updater/|" + std::string(64, 'a') +
                "|https://example.com/news.json|game.example.com:7777|en|system/L2.exe|close");
  EXPECT_EQ(config.links,
            (std::vector<std::pair<std::string, std::string>>{
                {"website", "https://example.com"}, {"forum", "http://forum.example.com"}}));

  // What the launcher would refuse, or quietly drop, is a usage error; nothing is written.
  for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
           {"--pubkey", key, "--update-url", "ftp://x/"},
           {"--pubkey", "abc", "--update-url", "https://x/"},
           {"--link", "mail=mailto:staff@example.com", "--pubkey", key, "--update-url", "https://x/"},
           {"--game", "../L2.exe", "--pubkey", key, "--update-url", "https://x/"},
           {"--language", "de", "--pubkey", key, "--update-url", "https://x/"}}) {
    std::vector<std::string> args = {"config"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(pathToUtf8(dir / "refused.json"));
    const Result refused = tarnbuilder(args);
    EXPECT_EQ(refused.code, 2) << options[1] << ": " << refused.err;
  }
  EXPECT_FALSE(fs::exists(dir / "refused.json"));
}

TEST(Commands, ExitCodesAndHelp) {
  const std::vector<std::pair<std::vector<std::string>, int>> cases = {
      {{}, 2},
      {{"frobnicate"}, 2},
      {{"--help"}, 0},
      {{"keygen"}, 2},
      {{"keygen", "a", "b"}, 2},
      {{"publish", "--key", "k", "--client", "c", "--out", "o", "--levle", "1"}, 2},
      {{"publish", "--key", "k", "--client", "c", "--out", "o", "--level", "10"}, 2},
      {{"verify", "--dir", "d"}, 2},
      {{"pubkey", "no-such-key.txt"}, 1}};
  for (const auto& [args, code] : cases) {
    EXPECT_EQ(tarnbuilder(args).code, code) << (args.empty() ? "" : args.back());
  }
  for (const char* command : {"keygen", "pubkey", "publish", "verify", "config", "uipack"}) {
    const Result help = tarnbuilder({command, "--help"});
    EXPECT_EQ(help.code, 0) << command;
    EXPECT_EQ(help.out.rfind(std::string("Usage: tarnbuilder ") + command, 0), 0u) << help.out;
  }
  const Result missing = tarnbuilder({"publish", "--key", "k", "--client", "c"});
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(missing.err,
            "tarnbuilder publish: --out is required\nRun \"tarnbuilder publish --help\" for its "
            "arguments.\n");
}

// A key made once and owner-only; publish's options as typed, then what staff read when verify
// finds a problem.
TEST(Commands, KeygenPublishAndVerify) {
  TempDir dir;
  const std::string key = pathToUtf8(dir / "key.txt");
  const Result made = tarnbuilder({"keygen", key});
  ASSERT_EQ(made.code, 0) << made.err;
  const std::string stored = readTestFile(dir / "key.txt");
  ASSERT_EQ(stored.size(), 65u);
  EXPECT_EQ(stored.find_first_not_of("0123456789abcdef"), 64u);
  EXPECT_EQ(made.out.find_first_not_of("0123456789abcdef"), 64u);
  EXPECT_EQ(tarnbuilder({"pubkey", key}).out, made.out);
#ifndef _WIN32
  EXPECT_EQ(fs::status(dir / "key.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
#endif

  const Result again = tarnbuilder({"keygen", key});
  EXPECT_EQ(again.code, 1);
  EXPECT_EQ(again.err,
            "tarnbuilder keygen: " + key + " already exists; keygen never replaces a key\n");
  EXPECT_EQ(readTestFile(dir / "key.txt"), stored);
  EXPECT_NE(tarnbuilder({"keygen", pathToUtf8(dir / "other.txt")}).out, made.out);

  writeTestFile(dir / "bad.txt", std::string(63, 'a') + "\n");
  EXPECT_EQ(tarnbuilder({"pubkey", pathToUtf8(dir / "bad.txt")}).err,
            "tarnbuilder pubkey: " + pathToUtf8(dir / "bad.txt") +
                " is not a tarnbuilder key (64 hexadecimal digits expected)\n");

  writeTestFile(dir / "client/readme.txt", "hello");
  const std::string out = pathToUtf8(dir / "out");
  const Result publish =
      tarnbuilder({"publish", "--key", key, "--client", pathToUtf8(dir / "client"), "--out", out,
                   "--block-size", "64K", "--build", "two", "--remove", "old.txt"});
  ASSERT_EQ(publish.code, 0) << publish.err;
  EXPECT_NE(publish.out.find("public key: " + made.out.substr(0, 64)), std::string::npos)
      << publish.out;
  const Json manifest = Json::parse(readTestFile(dir / "out/manifest.json"));
  EXPECT_EQ(manifest.getString("build"), "two");
  EXPECT_EQ(manifest.get("remove").dump(), R"(["old.txt"])");
  EXPECT_EQ(readTestFile(dir / "out/files/readme.txt.tz").substr(12, 4),
            std::string("\0\0\1\0", 4)) << "65536-byte blocks";
  fs::remove(dir / "out/files/readme.txt.tz");
  const Result broken = tarnbuilder({"verify", "--dir", out, "--key", key});
  EXPECT_EQ(broken.code, 1);
  EXPECT_EQ(broken.err, "tarnbuilder verify: 1 problem in " + out +
                            ":\n  readme.txt: files/readme.txt.tz is missing\n");
}

// The pack's bytes and order are UiPack's; here the walk of a folder with a sub-folder.
TEST(Commands, UiPackIsWhatTheLauncherUnpacks) {
  TempDir dir;
  const std::map<std::string, std::string> page = {{"index.html", "<!doctype html>"},
                                                   {"img/\xc5\xbe" "enklas.svg", "<svg/>"}};
  for (const auto& [name, data] : page) writeTestFile(dir / ("page/" + name), data);
  const Result run = tarnbuilder({"uipack", pathToUtf8(dir / "page"), pathToUtf8(dir / "ui.pack")});
  ASSERT_EQ(run.code, 0) << run.err;

  const std::string pack = readTestFile(dir / "ui.pack");
  std::string err;
  ASSERT_TRUE(unpackUiPack(pack, dir / "unpacked", err)) << err;
  for (const auto& [name, data] : page) EXPECT_EQ(readTestFile(dir / ("unpacked/" + name)), data);
  EXPECT_EQ(tarnbuilder({"uipack", pathToUtf8(dir / "missing"), pathToUtf8(dir / "x.pack")}).code,
            1);
}

TEST(Commands, ExcludePatterns) {
  const std::tuple<const char*, const char*, bool, bool> cases[] = {
      // pattern, path, whether the path is a folder, whether it is excluded
      {"*.log", "system/crash.LOG", false, true}, {"*.log", "system/crash.log.txt", false, false},
      {"system/*.bak", "system/a.bak", false, true},
      {"system/*.bak", "system/sub/a.bak", false, false},
      {"system/*.bak", "other/system/a.bak", false, false},
      {"docs/**/*.pdf", "docs/a.pdf", false, true},
      {"docs/**/*.pdf", "docs/x/y/a.pdf", false, true},
      {"screen?[0-9].png", "shots/screen1 2.png", false, false},
      {"screen?[0-9].png", "shots/screen_2.png", false, true}, {"[!a-c]*", "d.txt", false, true},
      {"[!a-c]*", "B.txt", false, false}, {"logs/", "logs", true, true},
      {"logs/", "logs", false, false}, {"/readme.txt", "readme.txt", false, true},
      {"/readme.txt", "docs/readme.txt", false, false},
      {"system\\*.tmp", "system/x.tmp", false, true},
      // Without a pattern only the launcher's work files go (Publish shows which).
      {nullptr, "partial.dat", false, false}};
  for (const auto& [pattern, path, folder, excluded] : cases) {
    builder::ExcludeRules rules;
    if (pattern) rules.add(pattern);
    EXPECT_EQ(rules.excludes(path, folder), excluded) << (pattern ? pattern : "") << " " << path;
  }
}

}  // namespace
}  // namespace tu::test
