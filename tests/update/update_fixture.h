// Whole update runs against the loopback HTTP server: the fixture is the published site, and a
// run records every report in order.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/files.h"
#include "core/json.h"
#include "support/published_site.h"
#include "update/updater.h"

namespace tu::test {

struct RunRecord {
  std::vector<std::string> phases;
  std::vector<Json> progress;
  std::vector<std::string> events;  // "phase <word>", "progress <phase> <filesDone>", "done"
  bool done = false;
  bool ok = false;
  bool canPlay = false;
  std::string code;
  std::string detail;
  std::string build;
  std::vector<std::filesystem::path> handedOver;
};

class UpdateFixture : public ::testing::Test, public PublishedSite {
 protected:
  UpdateFixture();

  RunRecord run(CheckMode mode = CheckMode::Check, const std::filesystem::path& launcher = {});
  // A path in the client folder, made the way the engine makes it.
  std::filesystem::path at(std::string_view relative) const {
    return resolveRelative(client, relative);
  }
  // Whether the client folder holds exactly these files (ignoring the work folder).
  void expectClient(const std::vector<ClientFile>& files) const;

  TempDir root;
  // A name beyond ASCII, as players' folders have: every path the engine makes, and the
  // command line of tarn-update, must carry it.
  std::filesystem::path client = root / "klient\xc5\xb3";
  LauncherConfig config;
  // The run's clock: it advances by clockStep per reading. A step of 1 lets every progress
  // message through, 0 only the first and the forced ones.
  double now = 1000.0;
  double clockStep = 1.0;
  // Called with the Updater on each progress message and each phase, e.g. to cancel.
  std::function<void(Updater&, const Json& progress)> onProgress;
  std::function<void(Updater&, const std::string& phase)> onPhase;
};

// Holds a file open without sharing, as a running game holds its files (Windows only; on other
// systems `holding()` is false and nothing is held).
class HeldFile {
 public:
  explicit HeldFile(const std::filesystem::path& path);
  ~HeldFile();
  bool holding() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

}  // namespace tu::test
