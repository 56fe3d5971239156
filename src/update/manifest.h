// The signed manifest: the server's list of every file of a correct client folder, published
// as manifest.json beside manifest.sig (an Ed25519 signature over the exact bytes of
// manifest.json, as 128 hexadecimal digits). Nothing of a manifest is used before its
// signature has verified; every path in a parsed Manifest has passed isSafeManifestPath.
// Pure functions: fetching lives in Updater::fetchManifest.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/json.h"

namespace tu {

struct ManifestFile {
  std::string path;         // relative to the client folder, '/'-separated UTF-8
  std::int64_t size = 0;    // unpacked bytes, never negative
  std::string sha256;       // 64 lowercase hexadecimal digits
  std::int64_t packed = 0;  // bytes of the packed file on the server, never negative
  bool once = false;        // "mode": "once": installed when missing, otherwise left alone
};

struct Manifest {
  std::int64_t format = 1;
  std::string generated;
  std::string build;
  ManifestFile launcher;            // empty path when the manifest offers no launcher
  std::vector<ManifestFile> files;  // no two paths equal after ASCII lower-casing
  std::vector<std::string> remove;
};

// The launcher's work folder in the client folder: the hash cache and partial downloads.
inline constexpr std::string_view kWorkFolderName = ".tarn_update";

// The rule for every path a manifest names (files, launcher, removals): isSafeRelativePath, and
// not the work folder or inside it, in any letter case, so that no manifest can overwrite the
// hash cache or a partial download.
bool isSafeManifestPath(std::string_view path);

// Whether `signature` (128 hex digits, then optionally any run of "\n", "\r" and " ") is a
// valid Ed25519 signature of every byte of `body` under `publicKey` (64 hex digits).
bool verifyManifestSignature(std::string_view body, std::string_view signature,
                             std::string_view publicKey);

// One entry ("files" element or "launcher"). Errors: "unsafe path in manifest: <path>",
// "bad entry in manifest: <path>".
bool parseManifestFile(const Json& entry, ManifestFile& out, std::string& error);

// The whole document; `out` starts from an empty Manifest. Errors: "unknown manifest format",
// the entry errors, "duplicate path in manifest: <path as written>". On failure `out` may hold
// a part of the document and must not be used.
bool parseManifest(const Json& root, Manifest& out, std::string& error);

}  // namespace tu
