// The whole path as staff and players run it: tarnbuilder's commands write the key, the
// configuration and the published folder; verify passes it; tarn-update, the program, installs
// it from the loopback server, repairs a damaged file, and follows a second version.
#include <gtest/gtest.h>

#include <sstream>

#include "core/files.h"
#include "tarnbuilder/commands.h"
#include "tools/child_process.h"
#include "tools/tarnbuilder_fixture.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

using RoundTrip = TarnbuilderTest;

int tarnbuilder(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  builder::Console console{out, err};
  const int code = builder::runTarnbuilder(args, console);
  EXPECT_EQ(code, 0) << args[0] << ": " << err.str();
  return code;
}

int tarnUpdate(const std::vector<std::string>& args) {
  ChildProcess child(TARN_UPDATE_PROGRAM, args);
  const int code = exitCodeOf(child.wait());
  EXPECT_EQ(code, 0) << child.out() << child.err();
  return code;
}

TEST_F(RoundTrip, PublishVerifyThenTarnUpdateInstallsRepairsAndFollows) {
  std::map<std::string, std::string> files = {{"system/L2.exe", std::string(300000, 'x') + "end"},
                                              {"system/L2 Config.ini", "[Net]\n"},
                                              {"data/\xc5\xbe"
                                               "em\xc4\x97lapis.dat",
                                               std::string(5000, 'z')},
                                              {"old.txt", "to be removed"}};
  writeClient(files);
  const std::string key = pathToUtf8(keyFile);
  const std::string site = pathToUtf8(out);
  // A folder name beyond ASCII, as the player's command line hands it over.
  const fs::path playerDir = root / "\xc5\xbe" "aid\xc4\x97jas";
  const std::string player = pathToUtf8(playerDir);
  const auto publishAndServe = [&](HttpTestServer& server, std::vector<std::string> extra) {
    std::vector<std::string> args = {
        "publish", "--key",        key,  "--client", pathToUtf8(client), "--out",
        site,      "--block-size", "64K"};
    args.insert(args.end(), extra.begin(), extra.end());
    tarnbuilder(args);
    tarnbuilder({"verify", "--dir", site, "--pubkey", publicKey});
    serveOut(server, out);
  };

  HttpTestServer server;
  publishAndServe(server, {"--build", "one"});
  fs::create_directories(playerDir);  // config writes into an existing folder
  tarnbuilder({"config", "--pubkey", publicKey, "--update-url", server.url("/"), player});
  tarnUpdate({player});
  files["TarnLauncher.json"] = readTestFile(playerDir / "TarnLauncher.json");
  EXPECT_EQ(tree(playerDir), files);

  // Damaged in place, same size: only a repair run reads it again.
  std::string damaged = files["system/L2.exe"];
  damaged[1000] = 'y';
  writeTestFile(playerDir / "system" / "L2.exe", damaged);
  tarnUpdate({"--repair", player});
  EXPECT_EQ(tree(playerDir), files);

  writeClient({{"system/L2 Config.ini", "[Net]\nPort=7777\n"}});
  fs::remove(client / "old.txt");
  publishAndServe(server, {"--build", "two", "--remove", "old.txt"});
  tarnUpdate({player});
  files["system/L2 Config.ini"] = "[Net]\nPort=7777\n";
  files.erase("old.txt");
  EXPECT_EQ(tree(playerDir), files);
}

}  // namespace
}  // namespace tu::test
