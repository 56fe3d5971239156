#include "tools/tarnbuilder_fixture.h"

#include "core/files.h"
#include "core/json.h"
#include "tarnbuilder/key_file.h"
#include "update/download.h"

namespace tu::test {

namespace fs = std::filesystem;

TarnbuilderTest::TarnbuilderTest() {
  fs::create_directories(client);
  builder::Seed seed;
  std::string err;
  EXPECT_TRUE(builder::createKeyFile(keyFile, seed, err)) << err;
  publicKey = builder::publicKeyOf(seed);
}

void TarnbuilderTest::writeClient(const std::map<std::string, std::string>& files) {
  for (const auto& [path, content] : files) writeTestFile(resolveRelative(client, path), content);
}

std::string TarnbuilderTest::publishWith(builder::PublishOptions& options,
                                         builder::PublishSummary& summary) const {
  if (options.keyFile.empty()) options.keyFile = keyFile;
  options.client = client;
  if (options.out.empty()) options.out = out;
  // Small blocks, so small test files have several.
  if (options.pack.blockSize == 1048576) options.pack.blockSize = 4096;
  std::string err;
  return builder::publishClient(options, summary, {}, err) ? "" : err;
}

builder::PublishSummary TarnbuilderTest::publish(builder::PublishOptions options) {
  builder::PublishSummary summary;
  const std::string err = publishWith(options, summary);
  EXPECT_EQ(err, "");
  return summary;
}

std::string TarnbuilderTest::publishFails(builder::PublishOptions options) {
  builder::PublishSummary summary;
  const std::string err = publishWith(options, summary);
  EXPECT_NE(err, "");
  return err;
}

Manifest TarnbuilderTest::manifest() const {
  const std::string body = readTestFile(out / "manifest.json");
  EXPECT_TRUE(verifyManifestSignature(body, readTestFile(out / "manifest.sig"), publicKey));
  Manifest parsed;
  std::string err;
  EXPECT_TRUE(parseManifest(Json::parse(body), parsed, err)) << err;
  return parsed;
}

void serveOut(HttpTestServer& server, const fs::path& folder) {
  const std::string body = readTestFile(folder / "manifest.json");
  server.serve("/manifest.json", body);
  server.serve("/manifest.sig", readTestFile(folder / "manifest.sig"));
  Manifest manifest;
  std::string err;
  ASSERT_TRUE(parseManifest(Json::parse(body), manifest, err)) << err;
  if (!manifest.launcher.path.empty()) manifest.files.push_back(manifest.launcher);
  for (const ManifestFile& entry : manifest.files) {
    server.serve("/" + fileUrlPath(entry),
                 readTestFile(resolveRelative(folder, "files/" + entry.path + ".tz")));
  }
}

}  // namespace tu::test
