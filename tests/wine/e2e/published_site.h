// A published client on the loopback test server, as the staff tool would publish it: packed
// files, manifest.json and manifest.sig signed with a fixed test key. Test programs of any
// platform.
#pragma once

#include <string>
#include <vector>

#include "publish/packed_writer.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "update/manifest.h"

namespace tu::e2e {

struct SiteFile {
  std::string path;
  std::string content;
};

class PublishedSite {
 public:
  PublishedSite();

  // Publishes these files (and the launcher when its path is not empty) under a new signed
  // manifest with the build label `build`.
  void publish(const std::vector<SiteFile>& files, const std::vector<std::string>& remove = {},
               const SiteFile& launcher = {}, const std::string& build = "build 7");
  // Replaces how the server answers for the packed file of `path` (a file or the launcher).
  void script(const std::string& path, test::Behaviour behaviour);

  std::string updateUrl() const { return server.url("/"); }
  std::string publicKey() const;
  const Manifest& manifest() const { return manifest_; }

  test::HttpTestServer server;

 private:
  const ManifestFile& entry(const std::string& path) const;

  test::TempDir folder_;
  Manifest manifest_;
  PackOptions options_{65536, 0};  // raw blocks: a packed file is as long as its content
};

}  // namespace tu::e2e
