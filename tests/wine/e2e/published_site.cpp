#include "e2e/published_site.h"

#include <gtest/gtest.h>

#include "core/files.h"
#include "publish/manifest_writer.h"
#include "update/download.h"

namespace tu::e2e {
namespace {

const std::uint8_t kSeed[32] = {7,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};

std::string target(const ManifestFile& entry) {
  return "/" + fileUrlPath(entry) + "?v=" + entry.sha256.substr(0, 12);
}

}  // namespace

PublishedSite::PublishedSite() = default;

std::string PublishedSite::publicKey() const {
  return publicKeyText(kSeed);
}

void PublishedSite::publish(const std::vector<SiteFile>& files,
                            const std::vector<std::string>& remove, const SiteFile& launcher,
                            const std::string& build) {
  manifest_ = Manifest{};
  manifest_.build = build;
  const auto add = [&](const SiteFile& file, ManifestFile& entry) {
    const std::filesystem::path source = folder_ / ("source/" + file.path);
    test::writeTestFile(source, file.content);
    std::string error;
    ASSERT_TRUE(publishFile(source, folder_.path(), file.path, options_, entry, error)) << error;
    server.serve(target(entry), test::readTestFile(folder_ / ("files/" + file.path + ".tz")));
  };
  for (const SiteFile& file : files) {
    ManifestFile entry;
    add(file, entry);
    manifest_.files.push_back(entry);
  }
  if (!launcher.path.empty()) add(launcher, manifest_.launcher);
  manifest_.remove = remove;
  const std::string body = manifestText(manifest_);
  server.serve("/manifest.json", body);
  server.serve("/manifest.sig", signatureText(body, kSeed));
}

const ManifestFile& PublishedSite::entry(const std::string& path) const {
  if (manifest_.launcher.path == path) return manifest_.launcher;
  for (const ManifestFile& file : manifest_.files) {
    if (file.path == path) return file;
  }
  ADD_FAILURE() << "nothing published as " << path;
  return manifest_.launcher;
}

void PublishedSite::script(const std::string& path, test::Behaviour behaviour) {
  const ManifestFile& published = entry(path);
  behaviour.body = test::readTestFile(folder_ / ("files/" + path + ".tz"));
  server.script(target(published), std::move(behaviour));
}

}  // namespace tu::e2e
