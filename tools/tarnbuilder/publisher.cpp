#include "tarnbuilder/publisher.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>

#include "core/files.h"
#include "publish/block_index_writer.h"
#include "publish/manifest_writer.h"
#include "tarnbuilder/client_scan.h"
#include "tarnbuilder/key_file.h"
#include "tarnbuilder/publish_cache.h"
#include "tarnbuilder/system.h"
#include "tarnbuilder/work_pool.h"
#include "update/manifest.h"
#include "update/paths.h"

namespace tu::builder {

namespace fs = std::filesystem;

namespace {

// One manifest entry on its way: where it comes from and what the manifest will say.
struct Entry {
  ClientFileInfo source;
  ManifestFile manifest;
  bool reused = false;
};

// A file buffer that adds every byte it reads to a shared counter (the progress bar's).
class CountingFileBuf : public std::filebuf {
 public:
  explicit CountingFileBuf(std::atomic<std::uint64_t>& counter) : counter_(counter) {}

 protected:
  std::streamsize xsgetn(char* data, std::streamsize size) override {
    const std::streamsize got = std::filebuf::xsgetn(data, size);
    if (got > 0) counter_ += static_cast<std::uint64_t>(got);
    return got;
  }

 private:
  std::atomic<std::uint64_t>& counter_;
};

// Whether `inner` is `outer` or lies below it (both absolute and normalised).
bool isWithin(const fs::path& inner, const fs::path& outer) {
  auto a = inner.begin();
  for (auto b = outer.begin(); b != outer.end(); ++b, ++a) {
    if (b->empty() && std::next(b) == outer.end()) break;  // a trailing separator
    if (a == inner.end() || *a != *b) return false;
  }
  return true;
}

// The '/'-separated UTF-8 path of `inner` below `outer`.
std::string relativeText(const fs::path& inner, const fs::path& outer) {
  std::string text;
  for (const fs::path& piece : inner.lexically_relative(outer)) {
    if (piece.empty() || piece == ".") continue;
    if (!text.empty()) text += '/';
    text += pathToUtf8(piece);
  }
  return text;
}

fs::path absoluteClean(const fs::path& path) {
  std::error_code ec;
  fs::path result = fs::weakly_canonical(path, ec);
  if (ec) result = fs::absolute(path, ec).lexically_normal();
  return result;
}

std::string utcNow() {
  const std::time_t now = std::time(nullptr);
  char text[32] = "";
  // Called on the main thread only, before the workers start.
  if (const std::tm* utc = std::gmtime(&now))
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
  return text;
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

fs::path packedPathOf(const fs::path& out, const std::string& path) {
  return resolveRelative(out, "files/" + path + ".tz");
}

// Packs `file` into `destination` through a ".tmp" sibling; the source must still have the
// size and time it was listed with afterwards, or what was packed may be half old, half new.
bool packOne(const ClientFileInfo& file, const fs::path& destination, const PackOptions& options,
             std::atomic<std::uint64_t>& bytesRead, PackResult& result, std::string& err) {
  CountingFileBuf buffer(bytesRead);
  if (buffer.open(file.source, std::ios::in | std::ios::binary) == nullptr) {
    err = printable(file.path) + ": cannot read " + pathToUtf8(file.source);
    return false;
  }
  std::istream in(&buffer);
  std::error_code ec;
  fs::create_directories(destination.parent_path(), ec);
  const fs::path temporary = withSuffix(destination, ".tmp");
  std::string packError;
  bool ok;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      err = "cannot write " + pathToUtf8(temporary);
      return false;
    }
    ok = writePacked(in, file.size, out, options, result, packError);
    out.close();
    if (ok && (!out || !flushToDisk(temporary))) {
      ok = false, packError = "cannot write " + pathToUtf8(temporary);
    }
  }
  buffer.close();
  std::uint64_t sizeAfter = 0;
  std::string stampAfter;
  if (ok && (!fileSizeAndStamp(file.source, sizeAfter, stampAfter) || sizeAfter != file.size ||
             stampAfter != file.stamp)) {
    ok = false;
    packError = "it changed while it was being packed; publish again";
  }
  if (!ok) {
    fs::remove(temporary, ec);
    err = printable(file.path) + ": " + packError;
    return false;
  }
  if (!moveIntoPlace(temporary, destination)) {
    fs::remove(temporary, ec);
    err = "cannot replace " + pathToUtf8(destination);
    return false;
  }
  flushFolder(destination.parent_path());
  return writeBlockIndex(destination, result.index, err);
}

// Everything that would make the launcher refuse the manifest, or two entries share one
// packed file, or the key leave the building; one line per problem.
void checkPaths(const std::vector<const Entry*>& entries, std::vector<std::string>& problems) {
  std::map<std::string, const std::string*> seen;  // lower-cased path -> first path
  std::set<std::string> folders;                   // lower-cased folder of any entry
  for (const Entry* entry : entries) {
    const std::string& path = entry->manifest.path;
    if (!isSafeManifestPath(path)) {
      problems.push_back(printable(path) + ": the launcher refuses this path (at most 400 bytes, " +
                         "no \\ : < > \" | ? * or control characters, no . or .. pieces, " +
                         "no name ending in a dot or a space, no device name such as CON or " +
                         "NUL.txt, nothing in .tarn_update)");
      continue;
    }
    const std::string lower = toLowerAscii(path);
    const auto [it, added] = seen.emplace(lower, &path);
    if (!added) {
      problems.push_back(printable(*it->second) + " and " + printable(path) +
                         ": names that differ only in letter case are one file on Windows");
    }
    for (std::size_t slash = lower.find('/'); slash != std::string::npos;
         slash = lower.find('/', slash + 1)) {
      folders.insert(lower.substr(0, slash));
    }
  }
  // "a" packs to files/a.tz with its index files/a.tzi, which cannot also be the folders of
  // "a.tz/b" or "a.tzi/b".
  for (const Entry* entry : entries) {
    const std::string& path = entry->manifest.path;
    if (!isSafeManifestPath(path)) continue;
    for (const auto& [suffix, what] : {std::pair{".tz", "packed file"}, {".tzi", "block index"}}) {
      if (folders.count(toLowerAscii(path) + suffix) > 0) {
        problems.push_back(printable(path) + ": its " + what + " files/" + printable(path) +
                           suffix + " would have the name of a published folder");
      }
    }
  }
}

// Our files under `folder` (packed files and their temporaries, links not followed) with their
// '/'-separated paths, and every folder below it, deepest first.
void listPacked(const fs::path& folder, const std::string& prefix,
                std::vector<std::pair<std::string, fs::path>>& files,
                std::vector<fs::path>& folders) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_symlink(typeError)) continue;
    const std::string name = pathToUtf8(it->path().filename());
    const std::string relative = prefix.empty() ? name : prefix + "/" + name;
    if (it->is_directory(typeError)) {
      listPacked(it->path(), relative, files, folders);
      folders.push_back(it->path());
    } else if (it->is_regular_file(typeError) &&
               (endsWith(name, ".tz") || endsWith(name, ".tz.tmp") || endsWith(name, ".tzi") ||
                endsWith(name, ".tzi.tmp"))) {
      files.emplace_back(relative, it->path());
    }
  }
}

void prune(const fs::path& out, const std::vector<Entry>& entries, PublishSummary& summary) {
  std::set<std::string> keep;
  std::map<std::string, std::string> keepLower;
  for (const Entry& entry : entries) {
    for (const char* suffix : {".tz", ".tzi"}) {
      keep.insert(entry.manifest.path + suffix);
      keepLower[toLowerAscii(entry.manifest.path + suffix)] = entry.manifest.path + suffix;
    }
  }
  std::vector<std::pair<std::string, fs::path>> files;
  std::vector<fs::path> folders;
  listPacked(out / "files", "", files, folders);
  std::error_code ec;
  for (const auto& [relative, path] : files) {
    if (keep.count(relative) > 0) continue;
    // On a folder that ignores case, "Data.tz" may be the very file kept as "data.tz".
    const auto lower = keepLower.find(toLowerAscii(relative));
    if (lower != keepLower.end() &&
        fs::equivalent(path, resolveRelative(out, "files/" + lower->second), ec)) {
      continue;
    }
    // An index goes with its packed file and is not counted apart.
    if (fs::remove(path, ec) && !endsWith(relative, ".tzi")) ++summary.pruned;
  }
  // Emptied folders go too, deepest first; folders still holding anything stay.
  for (const fs::path& folder : folders) {
    if (fs::is_empty(folder, ec)) fs::remove(folder, ec);
  }
}

}  // namespace

std::string manifestPathFromArgument(std::string_view argument) {
  std::string path(argument);
  std::replace(path.begin(), path.end(), '\\', '/');
  while (path.compare(0, 2, "./") == 0) path.erase(0, 2);
  return path;
}

bool publishClient(const PublishOptions& options, PublishSummary& summary, std::string& err,
                   const std::function<void(const PublishProgress&)>& progress) {
  summary = PublishSummary{};
  const PackOptions& pack = options.pack;
  if (pack.blockSize < 1 || pack.blockSize > 16777216) {
    err = "the block size must be 1 to 16777216";
    return false;
  }
  if (pack.level < 0 || pack.level > 9) {
    err = "the compression level must be 0 to 9";
    return false;
  }
  Seed seed;
  if (!readKeyFile(options.keyFile, seed, err)) return false;
  summary.publicKey = publicKeyOf(seed);

  std::error_code ec;
  if (!fs::is_directory(options.client, ec)) {
    err = "the client folder " + pathToUtf8(options.client) + " is not a folder";
    return false;
  }
  const fs::path client = absoluteClean(options.client);
  const fs::path out = absoluteClean(options.out);
  if (isWithin(client, out)) {
    err = "the output folder " + pathToUtf8(options.out) +
          " must not be the client folder or hold it";
    return false;
  }

  ExcludeRules rules;
  for (const std::string& pattern : options.exclude) rules.add(pattern);
  std::vector<std::string> skipFolders;
  if (isWithin(out, client)) {
    skipFolders.push_back(relativeText(out, client));
    summary.notes.push_back("the output folder " + printable(skipFolders.back()) +
                            " inside the client folder is not published");
  }
  ScanResult scan;
  if (!scanClient(options.client, rules, skipFolders, scan, err)) return false;
  summary.excluded = scan.excluded;
  std::vector<std::string> problems = scan.problems;

  // The launcher: its path inside the client folder when it lies there, else its file name;
  // either way it is not listed again under "files".
  std::optional<Entry> launcher;
  if (!options.launcher.empty()) {
    if (!fs::is_regular_file(options.launcher, ec)) {
      err = "the launcher " + pathToUtf8(options.launcher) + " is not a file";
      return false;
    }
    const fs::path file = absoluteClean(options.launcher);
    Entry entry;
    entry.manifest.path = isWithin(file, client) ? relativeText(file, client)
                                                 : pathToUtf8(options.launcher.filename());
    entry.source.path = entry.manifest.path;
    entry.source.source = options.launcher;
    fileSizeAndStamp(options.launcher, entry.source.size, entry.source.stamp);
    const std::string lower = toLowerAscii(entry.manifest.path);
    const auto copy = std::find_if(scan.files.begin(), scan.files.end(),
                                   [&](const auto& f) { return toLowerAscii(f.path) == lower; });
    if (copy != scan.files.end()) {
      if (!fs::equivalent(copy->source, file, ec)) {
        summary.notes.push_back("the client folder's " + printable(copy->path) +
                                " is left out: the launcher entry stands for it");
      }
      scan.files.erase(copy);
    }
    launcher = std::move(entry);
  }

  std::vector<Entry> entries;
  entries.reserve(scan.files.size() + 1);
  for (ClientFileInfo& file : scan.files) {
    Entry entry;
    entry.manifest.path = file.path;
    entry.source = std::move(file);
    entries.push_back(std::move(entry));
  }
  std::vector<const Entry*> all;
  all.reserve(entries.size() + 1);
  for (const Entry& entry : entries) all.push_back(&entry);
  if (launcher) all.push_back(&*launcher);
  checkPaths(all, problems);

  // The signing key must never reach the players.
  const fs::path key = absoluteClean(options.keyFile);
  if (isWithin(key, client)) {
    const std::string keyPath = toLowerAscii(relativeText(key, client));
    for (const Entry* entry : all) {
      if (toLowerAscii(entry->manifest.path) == keyPath) {
        problems.push_back(printable(entry->manifest.path) +
                           ": this is the signing key; move it out of the client folder or "
                           "--exclude it");
      }
    }
  }

  std::map<std::string, Entry*> byLower;
  for (Entry& entry : entries) byLower[toLowerAscii(entry.manifest.path)] = &entry;
  for (const std::string& argument : options.once) {
    const auto it = byLower.find(toLowerAscii(manifestPathFromArgument(argument)));
    if (it == byLower.end()) {
      problems.push_back("--once " + printable(argument) + ": no such file is published");
    } else {
      it->second->manifest.once = true;
    }
  }
  std::vector<std::string> removals;
  for (const std::string& argument : options.remove) {
    const std::string path = manifestPathFromArgument(argument);
    const std::string lower = toLowerAscii(path);
    if (!isSafeManifestPath(path)) {
      problems.push_back("--remove " + printable(argument) + ": the launcher refuses this path");
    } else if (byLower.count(lower) > 0 ||
               (launcher && toLowerAscii(launcher->manifest.path) == lower)) {
      problems.push_back("--remove " + printable(argument) +
                         ": this file is also published (players would get it and lose it)");
    } else if (std::find(removals.begin(), removals.end(), path) == removals.end()) {
      removals.push_back(path);
    }
  }
  if (!problems.empty()) {
    err = "nothing was published; fix these first:";
    for (const std::string& problem : problems) err += "\n  " + problem;
    return false;
  }

  // Nothing is written before this point.
  fs::create_directories(out / "files", ec);
  if (!fs::is_directory(out / "files", ec)) {
    err = "cannot create " + pathToUtf8(out / "files");
    return false;
  }
  const std::string generated = utcNow();
  if (launcher) entries.push_back(std::move(*launcher));

  // Reuse what an earlier publish packed from the same source with the same options.
  const PublishCache previous = options.fresh ? PublishCache{} : loadPublishCache(out);
  PublishCache cache;
  std::vector<std::size_t> work;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Entry& entry = entries[i];
    const auto it = previous.find(entry.manifest.path);
    if (it != previous.end()) {
      const CacheRecord& record = it->second;
      std::vector<std::uint8_t> digest;
      std::error_code sizeError;
      if (record.size == entry.source.size && record.stamp == entry.source.stamp &&
          record.blockSize == pack.blockSize && record.level == pack.level &&
          record.sha256.size() == 64 && hexDecode(record.sha256, digest) &&
          fs::file_size(packedPathOf(out, entry.manifest.path), sizeError) == record.packed &&
          !sizeError &&
          (!wantsBlockIndex(pack.blockSize, record.packed) ||
           fs::is_regular_file(withSuffix(packedPathOf(out, entry.manifest.path), "i"),
                               sizeError))) {
        entry.manifest.size = static_cast<std::int64_t>(record.size);
        entry.manifest.sha256 = record.sha256;
        entry.manifest.packed = static_cast<std::int64_t>(record.packed);
        entry.reused = true;
        cache[entry.manifest.path] = record;
        continue;
      }
    }
    work.push_back(i);
  }
  if (!work.empty() && !savePublishCache(out, cache)) {
    err = "cannot write " + pathToUtf8(resolveRelative(out, kPublishCacheName));
    return false;
  }

  // Biggest first: a large file started last would keep one thread busy after the rest end.
  std::stable_sort(work.begin(), work.end(), [&](std::size_t a, std::size_t b) {
    return entries[a].source.size > entries[b].source.size;
  });
  PublishProgress state;
  state.filesTotal = work.size();
  for (const std::size_t i : work) state.bytesTotal += entries[i].source.size;
  std::atomic<std::uint64_t> bytesRead{0};
  std::atomic<std::size_t> filesDone{0};
  std::mutex mutex;
  std::string firstError;
  const bool packed = runJobs(
      work.size(), options.jobs == 0 ? defaultJobs() : options.jobs,
      [&](std::size_t index) {
        Entry& entry = entries[work[index]];
        PackResult result;
        std::string jobError;
        if (!packOne(entry.source, packedPathOf(out, entry.manifest.path), pack, bytesRead, result,
                     jobError)) {
          std::lock_guard<std::mutex> lock(mutex);
          if (firstError.empty()) firstError = jobError;
          return false;
        }
        entry.manifest.size = static_cast<std::int64_t>(result.size);
        entry.manifest.sha256 = result.sha256;
        entry.manifest.packed = static_cast<std::int64_t>(result.packed);
        {
          std::lock_guard<std::mutex> lock(mutex);
          cache[entry.manifest.path] = {entry.source.size, entry.source.stamp, result.sha256,
                                        result.packed,     pack.blockSize,     pack.level};
        }
        ++filesDone;
        return true;
      },
      [&] {
        if (!progress) return;
        state.filesDone = filesDone.load();
        state.bytesDone = std::min(bytesRead.load(), state.bytesTotal);
        progress(state);
      });
  // Saved either way: every record in it is true of the packed files now on disk.
  const bool cacheSaved = cache == previous || savePublishCache(out, cache);
  if (!packed) {
    err = firstError;
    return false;
  }
  if (!cacheSaved) {
    err = "cannot write " + pathToUtf8(resolveRelative(out, kPublishCacheName));
    return false;
  }

  Manifest manifest;
  manifest.generated = generated;
  manifest.build = options.build;
  for (Entry& entry : entries) {
    summary.bytes += entry.source.size;
    summary.packedBytes += static_cast<std::uint64_t>(entry.manifest.packed);
    (entry.reused ? summary.reused : summary.packed) += 1;
  }
  if (!options.launcher.empty()) {
    manifest.launcher = entries.back().manifest;
    summary.launcher = true;
  }
  const std::size_t fileCount = entries.size() - (summary.launcher ? 1 : 0);
  manifest.files.reserve(fileCount);
  for (std::size_t i = 0; i < fileCount; ++i) manifest.files.push_back(entries[i].manifest);
  manifest.remove = removals;
  summary.files = fileCount;
  summary.removals = removals.size();
  if (!writeSignedManifest(out, manifest, seed.bytes.data(), err)) return false;

  prune(out, entries, summary);
  return true;
}

}  // namespace tu::builder
