#include "support/published_site.h"

#include <gtest/gtest.h>

#include "core/files.h"
#include "publish/manifest_writer.h"
#include "update/download.h"

namespace tu::test {
namespace {

const std::uint8_t kSeed[32] = {42, 1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};

}  // namespace

std::string PublishedSite::publicKey() const {
  return publicKeyText(kSeed);
}

void PublishedSite::publish(const std::vector<ClientFile>& files,
                            const std::vector<std::string>& remove, const ClientFile& launcher) {
  manifest = Manifest{};
  manifest.build = "build 1";
  const auto add = [&](const ClientFile& file, ManifestFile& entry) {
    const std::filesystem::path source = folder / ("source/" + file.path);
    writeTestFile(source, file.content);
    std::string error;
    ASSERT_TRUE(publishFile(source, folder.path(), file.path, packOptions, entry, error)) << error;
    entry.once = file.once;
    server.serve(target(entry), packedBytes(file.path));
    std::string index;
    if (readFile(folder / ("files/" + file.path + ".tzi"), index)) {
      server.serve(target(entry, ".tzi"), index);
    }
  };
  for (const ClientFile& file : files) {
    ManifestFile entry;
    add(file, entry);
    manifest.files.push_back(entry);
  }
  if (!launcher.path.empty()) add(launcher, manifest.launcher);
  manifest.remove = remove;
  serveManifest(manifestText(manifest));
}

void PublishedSite::serveManifest(const std::string& body) {
  servedManifest = body;
  servedSignature = signatureText(body, kSeed);
  server.serve("/manifest.json", servedManifest);
  server.serve("/manifest.sig", servedSignature);
}

const ManifestFile& PublishedSite::entry(const std::string& path) const {
  if (manifest.launcher.path == path) return manifest.launcher;
  for (const ManifestFile& file : manifest.files) {
    if (file.path == path) return file;
  }
  ADD_FAILURE() << "nothing published as " << path;
  return manifest.launcher;
}

std::string PublishedSite::target(const ManifestFile& entry, std::string_view suffix) {
  return "/" + fileUrlPath(entry, suffix) + "?v=" + entry.sha256.substr(0, 12);
}

void PublishedSite::script(const std::string& path, Behaviour behaviour) {
  if (behaviour.body.empty()) behaviour.body = packedBytes(path);
  server.script(target(entry(path)), std::move(behaviour));
}

std::string PublishedSite::packedBytes(const std::string& path) const {
  return readTestFile(folder / ("files/" + path + ".tz"));
}

}  // namespace tu::test
