// tarn-update as a child process against the loopback server: the engine's update fixture
// publishes the tree, and the client folder gets the TarnLauncher.json that points at it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "child_process.h"
#include "core/json.h"
#include "support/test_data.h"
#include "update/update_fixture.h"

namespace tu::test {

struct ToolRun {
  int status = 0;
  std::string out;
  std::string err;
  std::vector<std::string> lines;
  int exitCode() const { return exitCodeOf(status); }
};

// The "done" message among --json lines (null when there is none).
inline Json doneOf(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    Json message = Json::parse(line);
    if (message.getString("type") == "done") return message;
  }
  return Json();
}

class TarnUpdateTest : public UpdateFixture {
 protected:
  TarnUpdateTest() {
    packOptions = {262144, 1};  // fast to publish; the engine's tests cover small blocks
    writeConfig();
  }

  std::string configText() const {
    Json document = Json::object();
    document.set("updateUrl", config.updateUrl);
    document.set("publicKey", config.publicKey);
    return document.dump(true);
  }
  void writeConfig() const { writeTestFile(at("TarnLauncher.json"), configText()); }
  ToolRun runTool(const std::vector<std::string>& args, const ChildOptions& options = {}) const {
    ChildProcess child(program(), args, options);
    const int status = child.wait();
    return {status, child.out(), child.err(), child.lines()};
  }
  // The arguments for a run of the client folder, after `options`.
  std::vector<std::string> argsFor(std::vector<std::string> options) const {
    options.push_back(pathToUtf8(client));
    return options;
  }
  // Whether the client folder holds exactly these files and the configuration.
  void expectTool(std::vector<ClientFile> files) const {
    files.push_back({"TarnLauncher.json", configText()});
    expectClient(files);
  }

  // Stops a run whose one download stalls after 1000 bytes; it must end cancelled, not fit to
  // play, and the next run resume from the kept part. The "done" message, and the bytes kept.
  std::pair<Json, std::size_t> cancelStalledDownload(
      const std::function<void(ChildProcess&)>& stop) {
    publish({{"data/big.bin", noise(200000, 3)}});
    script("data/big.bin", {.stallAfter = 1000});
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

    server.clearRequests();
    EXPECT_EQ(runTool(argsFor({})).exitCode(), 0);
    const auto requests = server.requestsFor(target(entry("data/big.bin")));
    EXPECT_EQ(requests.size(), 1u);
    if (!kept.empty() && !requests.empty()) {
      EXPECT_EQ(requests[0].header("Range"), "bytes=" + std::to_string(kept.size()) + "-");
    }
    return {done, kept.size()};
  }

  static std::filesystem::path program() { return TARN_UPDATE_PROGRAM; }
};

}  // namespace tu::test
