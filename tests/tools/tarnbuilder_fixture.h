// Shared by the tarnbuilder tests: a client folder, a key, an output folder, and a way to
// publish with the tool's own code and install with the launcher's.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "tarnbuilder/publisher.h"
#include "update/manifest.h"

namespace tu::test {

class TarnbuilderTest : public ::testing::Test {
 protected:
  TarnbuilderTest();

  // Writes the files (path -> content) into the client folder.
  void writeClient(const std::map<std::string, std::string>& files);
  // Publishes with `options`, filling in what they leave empty (this key, client and output
  // folder, small blocks); the error text, or "" on success.
  std::string publishWith(builder::PublishOptions& options, builder::PublishSummary& summary) const;
  // Publishes; fails the test with the error text on failure.
  builder::PublishSummary publish(builder::PublishOptions options = {});
  // Publishes expecting a refusal; returns the error text.
  std::string publishFails(builder::PublishOptions options = {});
  // The parsed manifest in out (after checking its signature).
  Manifest manifest() const;
  std::filesystem::path packed(const std::string& path) const {
    return root / ("out/files/" + path + ".tz");
  }

  TempDir root;
  std::filesystem::path client = root / "client";
  std::filesystem::path out = root / "out";
  std::filesystem::path keyFile = root / "key.txt";
  std::string publicKey;
};

// Serves `folder` (a publish's output) as a web server would: manifest.json, manifest.sig and
// each entry's packed file under the address the launcher asks for.
void serveOut(HttpTestServer& server, const std::filesystem::path& folder);

}  // namespace tu::test
