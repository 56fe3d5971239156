// Whole update runs against the loopback HTTP server: a client tree is published with
// src/publish into a site folder, every file of which the server serves under the URL the
// launcher asks for; a run records every report in order.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/files.h"
#include "core/json.h"
#include "publish/packed_writer.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "update/manifest.h"
#include "update/updater.h"

namespace tu::test {

struct ClientFile {
  std::string path;
  std::string content;
  bool once = false;
};

// What one run reported, in order.
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
  std::uint32_t filesHashed = 0;
};

class UpdateFixture : public ::testing::Test {
 protected:
  UpdateFixture();

  // Publishes the files (and the launcher when its path is not empty) with a signed manifest.
  void publish(const std::vector<ClientFile>& files, const std::vector<std::string>& remove = {},
               const ClientFile& launcher = {});
  // Signs and serves a hand-written manifest.json.
  void serveManifest(const std::string& body);
  // The published entry for `path` (or the launcher's).
  const ManifestFile& entry(const std::string& path) const;
  // The request target of an entry's packed file (or its block index, ".tzi"), as the launcher
  // sends it.
  static std::string target(const ManifestFile& entry, std::string_view suffix = ".tz");
  // Replaces what the server sends for an entry's packed file.
  void scriptFile(const std::string& path, Behaviour behaviour);
  std::string packedBytes(const std::string& path) const;

  RunRecord run(CheckMode mode = CheckMode::Check, const std::filesystem::path& launcher = {});
  // A path in the client folder, made the way the engine makes it.
  std::filesystem::path at(std::string_view relative) const {
    return resolveRelative(client, relative);
  }
  // Whether the client folder holds exactly these files (ignoring the work folder).
  void expectClient(const std::vector<ClientFile>& files) const;

  TempDir root;  // the client folder is root/client
  std::filesystem::path client = root / "client";
  TempDir site;  // what the server publishes
  HttpTestServer server;
  LauncherConfig config;
  Manifest manifest;
  std::string servedManifest;  // what serveManifest serves last
  std::string servedSignature;
  PackOptions packOptions{4096, 6};
  // Seconds the run's clock advances per reading: 1 lets every progress message through,
  // 0 lets only the first and the forced ones through.
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
