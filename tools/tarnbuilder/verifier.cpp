#include "tarnbuilder/verifier.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>

#include "core/files.h"
#include "core/json.h"
#include "publish/block_index_writer.h"
#include "tarnbuilder/client_scan.h"
#include "tarnbuilder/system.h"
#include "tarnbuilder/work_pool.h"
#include "update/block_index.h"
#include "update/manifest.h"
#include "update/packed_file.h"
#include "update/paths.h"

namespace tu::builder {

namespace fs = std::filesystem;

namespace {

// A scratch folder of our own under the system's temporary folder, removed when it goes.
class ScratchFolder {
 public:
  bool create(std::string& error) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) {
      error = "no temporary folder to unpack into";
      return false;
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
      unsigned char random[8];
      if (!secureRandom(random, sizeof random, error)) return false;
      const fs::path candidate = base / ("tarnbuilder-verify-" + hexEncode(random, sizeof random));
      if (fs::create_directory(candidate, ec)) {
        path_ = candidate;
        return true;
      }
    }
    error = "cannot create a scratch folder in " + pathToUtf8(base);
    return false;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// What is wrong with the block index of a good packed file, or "". A missing or wrong index
// costs players only the whole download, but it is still a fault of the publish.
std::string indexProblem(const fs::path& packed, const ManifestFile& entry) {
  const std::string name = "files/" + entry.path + ".tzi";
  std::string expected;
  std::string error;
  if (!blockIndexOfPacked(packed, entry, expected, error)) return name + ": " + error;
  if (expected.empty()) return {};
  std::string found;
  if (!readFile(withSuffix(packed, "i"), found)) {
    return name + " is missing (launchers download the whole file)";
  }
  BlockIndex index;
  if (!parseBlockIndex(found, entry, index, error)) return name + ": " + error;
  if (found != expected) return name + " does not match its packed file";
  return {};
}

}  // namespace

bool verifyPublished(const VerifyOptions& options, VerifyReport& report,
                     const std::function<void(const VerifyProgress&)>& progress) {
  report = VerifyReport{};
  std::string body;
  std::string signature;
  const bool haveBody = readFile(resolveRelative(options.dir, "manifest.json"), body);
  const bool haveSignature = readFile(resolveRelative(options.dir, "manifest.sig"), signature);
  if (!haveBody) report.problems.push_back("manifest.json: missing or unreadable");
  if (!haveSignature) report.problems.push_back("manifest.sig: missing or unreadable");
  if (haveBody && haveSignature) {
    report.signatureGood = verifyManifestSignature(body, signature, options.publicKey);
    if (!report.signatureGood) {
      report.problems.push_back(
          "manifest.sig: does not verify manifest.json with this public key (launchers "
          "would report \"badsig\" and install nothing)");
    }
  }
  if (!haveBody) return false;

  std::string parseError;
  const Json root = Json::parse(body, &parseError);
  Manifest manifest;
  std::string manifestError;
  if (root.isNull()) {
    report.problems.push_back("manifest.json: not valid JSON: " + parseError);
    return false;
  }
  if (!parseManifest(root, manifest, manifestError)) {
    report.problems.push_back("manifest.json: " + manifestError);
    return false;
  }
  report.manifestGood = true;
  report.build = manifest.build;

  std::vector<const ManifestFile*> entries;
  for (const ManifestFile& file : manifest.files) entries.push_back(&file);
  if (!manifest.launcher.path.empty()) entries.push_back(&manifest.launcher);
  report.entries = entries.size();

  ScratchFolder scratch;
  std::string scratchError;
  if (!scratch.create(scratchError)) {
    report.problems.push_back("cannot check packed files: " + scratchError);
    return false;
  }

  VerifyProgress state;
  state.filesTotal = entries.size();
  for (const ManifestFile* entry : entries) {
    report.bytes += static_cast<std::uint64_t>(entry->size);
    report.packedBytes += static_cast<std::uint64_t>(entry->packed);
    state.bytesTotal += static_cast<std::uint64_t>(entry->packed);
  }
  std::atomic<std::size_t> filesDone{0};
  std::atomic<std::uint64_t> bytesDone{0};
  std::mutex mutex;
  std::vector<std::string> entryProblems;
  runJobs(
      entries.size(), options.jobs == 0 ? defaultJobs() : options.jobs,
      [&](std::size_t index) {
        const ManifestFile& entry = *entries[index];
        const std::string name = "files/" + entry.path + ".tz";
        const fs::path packed = resolveRelative(options.dir, name);
        std::string problem;
        std::error_code ec;
        const std::uint64_t size = fs::file_size(packed, ec);
        if (ec) {
          problem = name + " is missing";
        } else if (size != static_cast<std::uint64_t>(entry.packed)) {
          problem = name + " has " + std::to_string(size) + " bytes, the manifest says " +
                    std::to_string(entry.packed);
        } else {
          // The installer itself, as a launcher would run it on the downloaded file (the
          // unpacked copy is thrown away, so it is not flushed to disk or renamed).
          const fs::path target = scratch.path() / std::to_string(index);
          std::string installError;
          if (!unpackPackedFile(packed, target, static_cast<std::uint64_t>(entry.size),
                                entry.sha256, nullptr, installError)) {
            problem = name + ": " + installError;
          } else {
            problem = indexProblem(packed, entry);
          }
          fs::remove(withSuffix(target, ".tznew"), ec);
        }
        if (!problem.empty()) {
          std::lock_guard<std::mutex> lock(mutex);
          entryProblems.push_back(printable(entry.path) + ": " + printable(problem));
        }
        bytesDone += static_cast<std::uint64_t>(entry.packed);
        ++filesDone;
        return true;  // keep going: every problem is listed
      },
      [&] {
        if (!progress) return;
        state.filesDone = filesDone.load();
        state.bytesDone = bytesDone.load();
        progress(state);
      });
  std::sort(entryProblems.begin(), entryProblems.end());
  report.problems.insert(report.problems.end(), entryProblems.begin(), entryProblems.end());
  return report.problems.empty();
}

}  // namespace tu::builder
