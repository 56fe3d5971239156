#include "tarn_update_fixture.h"

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
  options.push_back(client.string());
  return options;
}

void TarnUpdateTest::expectTool(std::vector<ClientFile> files) const {
  files.push_back({"TarnLauncher.json", configText()});
  expectClient(files);
}

Json doneOf(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    Json message = Json::parse(line);
    if (message.getString("type") == "done") return message;
  }
  return Json();
}

}  // namespace tu::test
