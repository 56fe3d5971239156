#include "tarn_update_fixture.h"

#include "core/files.h"
#include "support/test_data.h"

namespace tu::test {

namespace fs = std::filesystem;

TarnUpdateTest::TarnUpdateTest() {
  packOptions = {262144, 1};  // fast to publish; the engine's tests cover small blocks
  writeConfig();
}

std::string TarnUpdateTest::configText() const {
  Json document = Json::object();
  document.set("updateUrl", config.updateUrl);
  document.set("publicKey", config.publicKey);
  return document.dump(true);
}

void TarnUpdateTest::writeConfig() const {
  writeTestFile(at("TarnLauncher.json"), configText());
}

const fs::path& TarnUpdateTest::program() {
  static const fs::path path = TARN_UPDATE_PROGRAM;
  return path;
}

ToolRun TarnUpdateTest::runTool(const std::vector<std::string>& args,
                                const ChildOptions& options) const {
  ChildProcess child(program(), args, options);
  ToolRun run;
  run.status = child.wait();
  run.out = child.out();
  run.err = child.err();
  run.lines = child.lines();
  return run;
}

std::vector<std::string> TarnUpdateTest::argsFor(std::vector<std::string> options) const {
  options.push_back(pathToUtf8(client));
  return options;
}

void TarnUpdateTest::expectTool(std::vector<ClientFile> files) const {
  files.push_back({"TarnLauncher.json", configText()});
  expectClient(files);
}

TarnUpdateTest::Cancelled TarnUpdateTest::cancelStalledDownload(const std::function<void(ChildProcess&)>& stop) {
  publish({{"data/big.bin", noise(200000, 3)}});
  scriptFile("data/big.bin", {.body = packedBytes("data/big.bin"), .stallAfter = 1000});
  ChildProcess child(program(), argsFor({"--json"}));
  server.waitUntilStalled();
  stop(child);
  const int status = child.wait();
  server.release();
  EXPECT_EQ(exitCodeOf(status), 1) << child.err();
  const Json done = doneOf(child.lines());
  EXPECT_EQ(done.getString("code"), "cancelled");
  EXPECT_FALSE(done.getBool("canPlay", true));
  // Kept for resuming: WinHTTP under Wine may not hand over what came before the stall.
  const std::string kept =
      readTestFile(at(".tarn_update/" + entry("data/big.bin").sha256 + ".part"));
  EXPECT_LE(kept.size(), 1000u);
  EXPECT_EQ(kept, packedBytes("data/big.bin").substr(0, kept.size()));

  // The next run resumes from what was kept.
  server.clearRequests();
  EXPECT_EQ(runTool(argsFor({})).exitCode(), 0);
  const auto requests = server.requestsFor(target(entry("data/big.bin")));
  EXPECT_EQ(requests.size(), 1u);
  if (!kept.empty() && !requests.empty()) {
    EXPECT_EQ(requests[0].header("Range"), "bytes=" + std::to_string(kept.size()) + "-");
  }
  return {done, kept.size()};
}

Json doneOf(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    Json message = Json::parse(line);
    if (message.getString("type") == "done") return message;
  }
  return Json();
}

}  // namespace tu::test
