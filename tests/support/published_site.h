// A client published on the loopback test server as the staff tool publishes it: packed files
// and block indexes under the address the launcher asks for, manifest.json and manifest.sig
// signed with a fixed test key. For test programs of every platform.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "publish/packed_writer.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "update/manifest.h"

namespace tu::test {

struct ClientFile {
  std::string path;
  std::string content;
  bool once = false;
};

class PublishedSite {
 public:
  // Publishes the files (and the launcher when its path is not empty) under a new signed
  // manifest with the build label "build 1".
  void publish(const std::vector<ClientFile>& files, const std::vector<std::string>& remove = {},
               const ClientFile& launcher = {});
  // Signs and serves a hand-written manifest.json.
  void serveManifest(const std::string& body);
  // The published entry for `path` (or the launcher's).
  const ManifestFile& entry(const std::string& path) const;
  // The request target of an entry's packed file (or its block index, ".tzi"), as the launcher
  // sends it.
  static std::string target(const ManifestFile& entry, std::string_view suffix = ".tz");
  // Replaces how the server answers for the packed file of `path`; an empty body stands for
  // the packed file's bytes.
  void script(const std::string& path, Behaviour behaviour);
  std::string packedBytes(const std::string& path) const;

  std::string updateUrl() const { return server.url("/"); }
  std::string publicKey() const;

  HttpTestServer server;
  TempDir folder;  // source/ holds what was published, files/ the packed files
  Manifest manifest;
  std::string servedManifest;  // what serveManifest served last
  std::string servedSignature;
  PackOptions packOptions{4096, 6};
};

}  // namespace tu::test
