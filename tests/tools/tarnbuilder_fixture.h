// Shared by the tarnbuilder tests: a client folder, a key, an output folder, and a way to
// publish with the tool's own code.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "core/files.h"
#include "core/json.h"
#include "support/temp_dir.h"
#include "tarnbuilder/key_file.h"
#include "tarnbuilder/publisher.h"
#include "update/manifest.h"

namespace tu::test {

class TarnbuilderTest : public ::testing::Test {
 protected:
  TarnbuilderTest() {
    std::filesystem::create_directories(client);
    builder::Seed seed;
    std::string error;
    EXPECT_TRUE(builder::createKeyFile(keyFile, seed, error)) << error;
    publicKey = builder::publicKeyOf(seed);
  }

  void writeClient(const std::map<std::string, std::string>& files) {
    for (const auto& [path, content] : files) writeTestFile(resolveRelative(client, path), content);
  }
  // Publishes with `options`, filling in what they leave empty (this key, client and output
  // folder, small blocks, so small test files have several); fails the test unless the result
  // is the one `fails` asks for. The error text, or "" on success.
  std::string publishWith(builder::PublishOptions options, builder::PublishSummary* summary,
                          bool fails = false) const {
    if (options.keyFile.empty()) options.keyFile = keyFile;
    options.client = client;
    if (options.out.empty()) options.out = out;
    if (options.pack.blockSize == 1048576) options.pack.blockSize = 4096;
    builder::PublishSummary ignored;
    std::string error;
    const bool ok = builder::publishClient(options, summary ? *summary : ignored, {}, error);
    EXPECT_EQ(ok, !fails) << error;
    return error;
  }
  builder::PublishSummary publish(builder::PublishOptions options = {}) const {
    builder::PublishSummary summary;
    publishWith(std::move(options), &summary);
    return summary;
  }
  std::string publishFails(builder::PublishOptions options = {}) const {
    return publishWith(std::move(options), nullptr, true);
  }
  // The parsed manifest in out (after checking its signature).
  Manifest manifest() const {
    const std::string body = readTestFile(out / "manifest.json");
    EXPECT_TRUE(verifyManifestSignature(body, readTestFile(out / "manifest.sig"), publicKey));
    Manifest parsed;
    std::string error;
    EXPECT_TRUE(parseManifest(Json::parse(body), parsed, error)) << error;
    return parsed;
  }
  std::filesystem::path packed(const std::string& path) const {
    return root / ("out/files/" + path + ".tz");
  }

  TempDir root;
  std::filesystem::path client = root / "client";
  std::filesystem::path out = root / "out";
  std::filesystem::path keyFile = root / "key.txt";
  std::string publicKey;
};

}  // namespace tu::test
