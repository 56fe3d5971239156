#include "update/update_fixture.h"

#include <algorithm>
#include <map>

#include "core/files.h"
#include "net/fetcher.h"
#include "publish/manifest_writer.h"
#include "update/download.h"

namespace tu::test {

namespace fs = std::filesystem;

namespace {

const std::uint8_t kSeed[32] = {42, 1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};

}  // namespace

UpdateFixture::UpdateFixture() {
  fs::create_directories(client);
  config.updateUrl = server.url("/");
  config.publicKey = publicKeyText(kSeed);
}

void UpdateFixture::publish(const std::vector<ClientFile>& files,
                            const std::vector<std::string>& remove, const ClientFile& launcher) {
  manifest = Manifest{};
  manifest.build = "build 1";
  std::string err;
  const auto add = [&](const ClientFile& file, ManifestFile& entry) {
    const fs::path source = site / ("source/" + file.path);
    writeTestFile(source, file.content);
    ASSERT_TRUE(publishFile(source, site.path(), file.path, packOptions, entry, err)) << err;
    entry.once = file.once;
    server.serve(target(entry), packedBytes(file.path));
    std::string index;
    if (readFile(site / ("files/" + file.path + ".tzi"), index)) {
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

void UpdateFixture::serveManifest(const std::string& body) {
  servedManifest = body;
  servedSignature = signatureText(body, kSeed);
  server.serve("/manifest.json", servedManifest);
  server.serve("/manifest.sig", servedSignature);
}

const ManifestFile& UpdateFixture::entry(const std::string& path) const {
  if (manifest.launcher.path == path) return manifest.launcher;
  for (const ManifestFile& file : manifest.files) {
    if (file.path == path) return file;
  }
  ADD_FAILURE() << "no entry " << path;
  return manifest.launcher;
}

std::string UpdateFixture::target(const ManifestFile& entry, std::string_view suffix) {
  return "/" + fileUrlPath(entry, suffix) + "?v=" + entry.sha256.substr(0, 12);
}

void UpdateFixture::scriptFile(const std::string& path, Behaviour behaviour) {
  server.script(target(entry(path)), std::move(behaviour));
}

std::string UpdateFixture::packedBytes(const std::string& path) const {
  return readTestFile(site / ("files/" + path + ".tz"));
}

RunRecord UpdateFixture::run(CheckMode mode, const fs::path& launcher) {
  RunRecord record;
  std::unique_ptr<Fetcher> fetcher = makeFetcher();
  Updater* self = nullptr;
  Updater updater(
      client, launcher, config, *fetcher,
      [&](const std::string& phase) {
        record.phases.push_back(phase);
        record.events.push_back("phase " + phase);
        if (onPhase) onPhase(*self, phase);
      },
      [&](const Json& progress) {
        record.progress.push_back(progress);
        record.events.push_back("progress " + progress.getString("phase") + " " +
                                std::to_string(progress.getInt64("filesDone", -1)));
        if (onProgress) onProgress(*self, progress);
      },
      [&](const RunEnd& end) {
        EXPECT_FALSE(record.done) << "a second end";
        record.done = true;
        record.ok = end.ok;
        record.canPlay = end.canPlay;
        record.code = endCodeText(end.code);
        record.detail = end.detail;
        record.build = self->build;
        record.events.push_back("done");
      },
      [&](const fs::path& replacement) { record.handedOver.push_back(replacement); });
  self = &updater;
  updater.clock = [this, t = 1000.0]() mutable { return t += clockStep; };
  updater.run(mode);
  record.filesHashed = updater.filesHashed;
  return record;
}

void UpdateFixture::expectClient(const std::vector<ClientFile>& files) const {
  std::map<std::string, std::string> expected;
  for (const ClientFile& file : files) expected[file.path] = file.content;
  std::map<std::string, std::string> actual;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(client, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->path().filename() == ".tarn_update") {
      it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file()) continue;
    std::string relative = pathToUtf8(fs::relative(it->path(), client));
    std::replace(relative.begin(), relative.end(), '\\', '/');
    actual[relative] = readTestFile(it->path());
  }
  EXPECT_EQ(actual, expected);
}

}  // namespace tu::test
