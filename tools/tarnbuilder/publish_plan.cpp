#include "tarnbuilder/publish_plan.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "core/files.h"
#include "tarnbuilder/system.h"
#include "update/paths.h"

namespace tu::builder {

namespace fs = std::filesystem;

namespace {

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

bool checkPackOptions(const PackOptions& pack, std::string& error) {
  if (pack.blockSize < 1 || pack.blockSize > 16777216) {
    error = "the block size must be 1 to 16777216";
    return false;
  }
  if (pack.level < 0 || pack.level > 9) {
    error = "the compression level must be 0 to 9";
    return false;
  }
  return true;
}

// The launcher's entry: its path inside the client folder when it lies there, else its file
// name; either way it is not listed again under "files" (taken out of `files`).
bool launcherEntry(const PublishOptions& options, const fs::path& client,
                   std::vector<ClientFileInfo>& files, PublishSummary& summary,
                   std::optional<PublishEntry>& launcher, std::string& error) {
  if (options.launcher.empty()) return true;
  std::error_code ec;
  if (!fs::is_regular_file(options.launcher, ec)) {
    error = "the launcher " + pathToUtf8(options.launcher) + " is not a file";
    return false;
  }
  const fs::path file = absoluteClean(options.launcher);
  PublishEntry entry;
  entry.manifest.path =
      isWithin(file, client) ? relativeText(file, client) : pathToUtf8(options.launcher.filename());
  entry.source.path = entry.manifest.path;
  entry.source.source = options.launcher;
  fileSizeAndStamp(options.launcher, entry.source.size, entry.source.stamp);
  const std::string lower = toLowerAscii(entry.manifest.path);
  const auto copy = std::find_if(files.begin(), files.end(),
                                 [&](const auto& f) { return toLowerAscii(f.path) == lower; });
  if (copy != files.end()) {
    if (!fs::equivalent(copy->source, file, ec)) {
      summary.notes.push_back("the client folder's " + printable(copy->path) +
                              " is left out: the launcher entry stands for it");
    }
    files.erase(copy);
  }
  launcher = std::move(entry);
  return true;
}

// Everything that would make the launcher refuse the manifest, or two entries share one
// packed file, or the key leave the building; one line per problem.
void checkPaths(const std::vector<const PublishEntry*>& entries,
                std::vector<std::string>& problems) {
  std::map<std::string, const std::string*> seen;  // lower-cased path -> first path
  std::set<std::string> folders;                   // lower-cased folder of any entry
  for (const PublishEntry* entry : entries) {
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
  for (const PublishEntry* entry : entries) {
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

// The signing key must never reach the players.
void checkKeyNotPublished(const fs::path& keyFile, const fs::path& client,
                          const std::vector<const PublishEntry*>& entries,
                          std::vector<std::string>& problems) {
  const fs::path key = absoluteClean(keyFile);
  if (!isWithin(key, client)) return;
  const std::string keyPath = toLowerAscii(relativeText(key, client));
  for (const PublishEntry* entry : entries) {
    if (toLowerAscii(entry->manifest.path) == keyPath) {
      problems.push_back(printable(entry->manifest.path) +
                         ": this is the signing key; move it out of the client folder or "
                         "--exclude it");
    }
  }
}

// --once marks published files; --remove lists files that are not published (the launcher's
// own entry included), each once.
void applyOnceAndRemove(const PublishOptions& options, std::vector<PublishEntry>& files,
                        const std::optional<PublishEntry>& launcher,
                        std::vector<std::string>& removals, std::vector<std::string>& problems) {
  std::map<std::string, PublishEntry*> byLower;
  for (PublishEntry& entry : files) byLower[toLowerAscii(entry.manifest.path)] = &entry;
  for (const std::string& argument : options.once) {
    const auto it = byLower.find(toLowerAscii(manifestPathFromArgument(argument)));
    if (it == byLower.end()) {
      problems.push_back("--once " + printable(argument) + ": no such file is published");
    } else {
      it->second->manifest.once = true;
    }
  }
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
}

}  // namespace

bool planPublish(const PublishOptions& options, PublishPlan& plan, PublishSummary& summary,
                 std::string& error) {
  if (!checkPackOptions(options.pack, error)) return false;
  if (!readKeyFile(options.keyFile, plan.seed, error)) return false;
  summary.publicKey = publicKeyOf(plan.seed);

  std::error_code ec;
  if (!fs::is_directory(options.client, ec)) {
    error = "the client folder " + pathToUtf8(options.client) + " is not a folder";
    return false;
  }
  const fs::path client = absoluteClean(options.client);
  plan.out = absoluteClean(options.out);
  if (isWithin(client, plan.out)) {
    error = "the output folder " + pathToUtf8(options.out) +
            " must not be the client folder or hold it";
    return false;
  }

  ExcludeRules rules;
  for (const std::string& pattern : options.exclude) rules.add(pattern);
  std::vector<std::string> skipFolders;
  if (isWithin(plan.out, client)) {
    skipFolders.push_back(relativeText(plan.out, client));
    summary.notes.push_back("the output folder " + printable(skipFolders.back()) +
                            " inside the client folder is not published");
  }
  ScanResult scan;
  if (!scanClient(options.client, rules, skipFolders, scan, error)) return false;
  summary.excluded = scan.excluded;
  std::vector<std::string> problems = scan.problems;

  std::optional<PublishEntry> launcher;
  if (!launcherEntry(options, client, scan.files, summary, launcher, error)) return false;

  std::vector<PublishEntry>& entries = plan.entries;
  entries.reserve(scan.files.size() + 1);
  for (ClientFileInfo& file : scan.files) {
    PublishEntry entry;
    entry.manifest.path = file.path;
    entry.source = std::move(file);
    entries.push_back(std::move(entry));
  }
  std::vector<const PublishEntry*> all;
  all.reserve(entries.size() + 1);
  for (const PublishEntry& entry : entries) all.push_back(&entry);
  if (launcher) all.push_back(&*launcher);
  checkPaths(all, problems);
  checkKeyNotPublished(options.keyFile, client, all, problems);
  applyOnceAndRemove(options, entries, launcher, plan.removals, problems);
  if (!problems.empty()) {
    error = "nothing was published; fix these first:";
    for (const std::string& problem : problems) error += "\n  " + problem;
    return false;
  }

  plan.generated = utcNow();
  if (launcher) {
    entries.push_back(std::move(*launcher));
    plan.hasLauncher = true;
  }
  return true;
}

}  // namespace tu::builder
