// How runs end before the check: every manifest failure, hostile manifests, and the launcher's
// self-update.
#include <gtest/gtest.h>

#include "core/files.h"
#include "publish/manifest_writer.h"
#include "update/update_fixture.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

using UpdateEnd = UpdateFixture;

void expectEnd(const RunRecord& record, const std::string& code, const std::string& detail) {
  EXPECT_FALSE(record.ok);
  EXPECT_TRUE(record.canPlay);
  EXPECT_EQ(record.code, code);
  EXPECT_EQ(record.detail, detail);
  EXPECT_EQ(record.build, "");
  EXPECT_EQ(record.phases, std::vector<std::string>{"manifest"});
}

std::string fileEntry(const std::string& path, const std::string& size, char hash) {
  return R"({"path":")" + path + R"(","size":)" + size + R"(,"sha256":")" +
         std::string(64, hash) + R"(","packed":)" + size + "}";
}

// The signature rules themselves are ManifestSignature's; here only how a run ends on them.
TEST_F(UpdateEnd, NoConfigurationOfflineAndBadSignatures) {
  publish({{"a.txt", "a"}});
  const std::string detail = "updateUrl / publicKey missing in TarnLauncher.json";
  const LauncherConfig good = config;
  config.updateUrl.clear();
  expectEnd(run(), "noconfig", detail);
  config = good;
  config.publicKey.pop_back();
  expectEnd(run(), "noconfig", detail);
  EXPECT_TRUE(server.requests().empty());
  config = good;

  server.serve("/manifest.json", servedManifest + "\n");
  expectEnd(run(), "badsig", "manifest signature does not match");

  server.script("/manifest.sig", {.status = 404});
  expectEnd(run(), "offline", "HTTP 404 " + server.url("/manifest.sig"));
  server.script("/manifest.json", {.status = 500});
  server.clearRequests();
  expectEnd(run(), "offline", "HTTP 500 " + server.url("/manifest.json"));
  EXPECT_EQ(server.requests().size(), 1u) << "no signature is fetched without a manifest";
}

TEST_F(UpdateEnd, HostileManifestsChangeNothing) {
  writeTestFile(root / "victim.txt", "outside the client");
  writeTestFile(at("mine.txt"), "the player's");
  // Every rule has its case at the parser; here that a refusal changes nothing, even where
  // part of the manifest would have passed.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({"format":1,"remove":["mine.txt","/mine.txt"]})", "/mine.txt"},
      {R"({"format":1,"files":[)" + fileEntry("mine.txt", "1", 'a') + "," +
           fileEntry("../victim.txt", "1", 'a') + "]}",
       "../victim.txt"},
  };
  for (const auto& [text, unsafe] : cases) {
    SCOPED_TRACE(text);
    serveManifest(text);
    expectEnd(run(), "badmanifest", "unsafe path in manifest: " + unsafe);
    EXPECT_EQ(readTestFile(root / "victim.txt"), "outside the client");
    EXPECT_EQ(readTestFile(at("mine.txt")), "the player's");
    std::size_t entries = 0;
    for (const auto& item : fs::directory_iterator(client)) entries += item.exists() ? 1 : 0;
    EXPECT_EQ(entries, 1u) << "nothing created in the client folder";
  }
}

TEST_F(UpdateEnd, HugeSizesFailTheDownloadWithoutOverflow) {
  serveManifest(R"({"format":1,"files":[)" + fileEntry("a.bin", "1e300", 'b') + "," +
                fileEntry("b.bin", "9.3e18", 'b') + "]}");
  server.serve("/files/a.bin.tz?v=bbbbbbbbbbbb", "short");
  const RunRecord record = run();
  EXPECT_EQ(record.detail, "a.bin: download size does not match");
  const Json& check = record.progress.at(1);
  EXPECT_EQ(check.getString("phase"), "check");
  EXPECT_EQ(check.get("bytesTotal").asNumber(), 18446744073709551615.0) << "a saturated sum";
}

using SelfUpdate = UpdateFixture;

// Only a launcher that differs is fetched and handed over, and nothing follows; a launcher
// download that fails or is cancelled lets the run go on (a cancel then ends it in the check).
TEST_F(SelfUpdate, OnlyADifferentLauncherIsHandedOverAndAFailureLetsTheRunGoOn) {
  const fs::path exe = at("TarnLauncher.exe");
  const ClientFile launcher{"TarnLauncher.exe", "new launcher, version 2"};
  const ClientFile file{"readme.txt", "hello"};
  writeTestFile(exe, launcher.content);
  publish({file});  // no launcher entry
  EXPECT_EQ(run(CheckMode::Check, exe).phases,
            (std::vector<std::string>{"manifest", "check", "download"}));
  publish({file}, {}, launcher);
  RunRecord record = run(CheckMode::Check, exe);
  EXPECT_EQ(record.phases, (std::vector<std::string>{"manifest", "check"}));
  EXPECT_TRUE(record.handedOver.empty());
  writeTestFile(exe, "new launcher, version 1");  // same size, other content
  EXPECT_EQ(run(CheckMode::Check, {}).code, "uptodate") << "an empty launcher path disables it";
  EXPECT_FALSE(fs::exists(at("TarnLauncher.exe.new")));

  fs::remove(at("readme.txt"));
  record = run(CheckMode::Check, exe);
  EXPECT_EQ(record.phases, (std::vector<std::string>{"manifest", "selfupdate"}));
  for (const Json& progress : record.progress) EXPECT_EQ(progress.getString("phase"), "download");
  EXPECT_EQ(record.handedOver, std::vector<fs::path>{at("TarnLauncher.exe.new")});
  EXPECT_EQ(readTestFile(at("TarnLauncher.exe.new")), launcher.content);
  EXPECT_EQ(readTestFile(exe), "new launcher, version 1");
  EXPECT_FALSE(fs::exists(at("readme.txt")));

  script(launcher.path, {.status = 404});
  record = run(CheckMode::Check, exe);
  EXPECT_EQ(record.phases,
            (std::vector<std::string>{"manifest", "selfupdate", "check", "download"}));
  EXPECT_EQ(record.code, "updated");
  EXPECT_TRUE(record.handedOver.empty());
  onPhase = [](Updater& updater, const std::string& phase) {
    if (phase == "selfupdate") updater.cancel();
  };
  record = run(CheckMode::Check, exe);
  EXPECT_EQ(record.code, "cancelled");
  EXPECT_EQ(record.phases, (std::vector<std::string>{"manifest", "selfupdate", "check"}));
}

}  // namespace
}  // namespace tu::test
