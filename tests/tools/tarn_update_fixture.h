// tarn-update as a child process against the loopback server: the engine's update fixture
// publishes the tree, and the client folder gets the TarnLauncher.json that points at it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "child_process.h"
#include "core/json.h"
#include "update/update_fixture.h"

namespace tu::test {

struct ToolRun {
  int status = 0;
  std::string out;
  std::string err;
  std::vector<std::string> lines;
  int exitCode() const { return exitCodeOf(status); }
};

class TarnUpdateTest : public UpdateFixture {
 protected:
  TarnUpdateTest();

  // TarnLauncher.json's text for `config`.
  std::string configText() const;
  void writeConfig() const;
  // Runs tarn-update to its end.
  ToolRun runTool(const std::vector<std::string>& args, const ChildOptions& options = {}) const;
  // The arguments for a run of the client folder, after `options`.
  std::vector<std::string> argsFor(std::vector<std::string> options) const;
  // Whether the client folder holds exactly these files and the configuration.
  void expectTool(std::vector<ClientFile> files) const;
  // Runs a client whose one download stalls after 1000 bytes, stops it with `stop` and checks
  // that the run ended cancelled (exit 1, not fit to play) with the partial download kept, and
  // that the next run resumes from it.
  struct Cancelled {
    Json done;          // the "done" message
    std::size_t kept;   // bytes of the partial download
  };
  Cancelled cancelStalledDownload(const std::function<void(ChildProcess&)>& stop);

  static const std::filesystem::path& program();
};

// The "done" message among --json lines (null when there is none).
Json doneOf(const std::vector<std::string>& lines);

}  // namespace tu::test
