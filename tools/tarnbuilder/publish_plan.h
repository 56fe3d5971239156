// The first step of a publish: everything decided before anything is written. The options are
// checked, the key read, the client folder listed and every path checked the way the launcher
// will; any problem stops the publish here with every offending path named.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tarnbuilder/client_scan.h"
#include "tarnbuilder/key_file.h"
#include "tarnbuilder/publisher.h"
#include "update/manifest.h"

namespace tu::builder {

// One manifest entry on its way: where it comes from and what the manifest will say.
struct PublishEntry {
  ClientFileInfo source;
  ManifestFile manifest;
  bool reused = false;  // its packed file is an earlier publish's
};

struct PublishPlan {
  Seed seed;
  std::filesystem::path out;  // absolute
  // The client's files in byte order of their paths, then the launcher when it has an entry.
  std::vector<PublishEntry> entries;
  bool hasLauncher = false;
  std::vector<std::string> removals;  // the manifest's "remove"
  std::string generated;              // the manifest's "generated": when the publish began
};

// Fills `plan`, and in `summary` the public key, the excluded count and the notes. On failure
// `error` says why (for refused paths: every one of them, one per line).
bool planPublish(const PublishOptions& options, PublishPlan& plan, PublishSummary& summary,
                 std::string& error);

}  // namespace tu::builder
