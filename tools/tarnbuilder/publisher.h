// publish: the client folder becomes an update server folder OUT holding
//   files/<path>.tz   one packed file per client file (and the launcher),
//   files/<path>.tzi  its block index, for launchers that fetch only changed blocks,
//   manifest.json     the list, paths in byte order,
//   manifest.sig      its signature,
//   .tarnbuilder-cache.json  what the next publish may reuse,
// which any static web server or CDN can serve as the launcher's update URL.
//
// Order of work, so that OUT stays usable by launchers reading it at any moment:
//  1. list the client folder and check every path the way the launcher will; any problem
//     stops the publish before anything is written, with every offending path named
//     (publish_plan.h);
//  2. reuse each packed file (and its index) whose source size and time are unchanged (the
//     publish cache), pack the rest on `jobs` threads, biggest first;
//  3. write manifest.json, then manifest.sig, each atomically (a reader sees the old pair or
//     the new one, or for a moment new json with old signature, which the launcher refuses
//     and retries on its next run);
//  4. only then remove packed files that the new manifest no longer lists ("pruning"), so a
//     launcher still working from the old manifest keeps finding them for as long as possible.
// Files under OUT/files that end neither in ".tz" nor in ".tzi" are never touched, nor anything
// else in OUT.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "publish/packed_writer.h"

namespace tu::builder {

struct PublishOptions {
  std::filesystem::path keyFile;
  std::filesystem::path client;
  std::filesystem::path out;
  std::string build;                 // the manifest's "build" text
  std::filesystem::path launcher;    // the launcher's executable; empty: no "launcher" entry
  std::vector<std::string> remove;   // "remove": files the launcher deletes
  std::vector<std::string> once;     // published files installed only when missing
  std::vector<std::string> exclude;  // patterns (glob.h)
  PackOptions pack{1048576, 6};
  unsigned jobs = 0;   // packing threads; 0: one per processor
  bool fresh = false;  // repack everything, trusting no cache record
};

struct PublishProgress {
  std::size_t filesDone = 0;  // of the files packed in this publish
  std::size_t filesTotal = 0;
  std::uint64_t bytesDone = 0;  // source bytes read
  std::uint64_t bytesTotal = 0;
};

struct PublishSummary {
  std::size_t files = 0;          // "files" entries
  bool launcher = false;          // a "launcher" entry was written
  std::size_t packed = 0;         // entries packed by this publish
  std::size_t reused = 0;         // entries whose packed file an earlier publish made
  std::size_t pruned = 0;         // packed files removed
  std::size_t excluded = 0;       // files and folders left out by the rules
  std::size_t removals = 0;       // "remove" entries
  std::uint64_t bytes = 0;        // unpacked bytes of every entry
  std::uint64_t packedBytes = 0;  // bytes of every packed file
  std::string publicKey;
  std::vector<std::string> notes;  // things the staff should know, one line each
};

// Publishes as described above. On failure `error` says why (for refused paths: every one of
// them, one per line) and manifest.json / manifest.sig are as they were. `progress` (may be
// empty) is called on the calling thread about ten times a second while packing.
bool publishClient(const PublishOptions& options, PublishSummary& summary,
                   const std::function<void(const PublishProgress&)>& progress, std::string& error);

// A command-line path (--once, --remove) as the manifest writes paths: backslashes become
// '/', leading "./" pieces go.
std::string manifestPathFromArgument(std::string_view argument);

}  // namespace tu::builder
