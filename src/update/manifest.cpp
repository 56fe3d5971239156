#include "update/manifest.h"

#include <unordered_set>

#include "core/files.h"
#include "crypto/ed25519.h"

namespace tu {

namespace {

// The truncated number, or -1 when the member is not a number; -1 is never a valid size.
std::int64_t sizeField(const Json& entry, std::string_view key) {
  const Json& value = entry.get(key);
  return value.isNumber() ? truncateToInt64(value.asNumber()) : -1;
}

}  // namespace

bool verifyManifestSignature(std::string_view body, std::string_view signature,
                             std::string_view publicKey) {
  // Editors and servers add line ends; only the end of the text is forgiven.
  std::string_view digits = signature;
  while (!digits.empty() &&
         (digits.back() == '\n' || digits.back() == '\r' || digits.back() == ' ')) {
    digits.remove_suffix(1);
  }
  std::vector<std::uint8_t> sig;
  std::vector<std::uint8_t> key;
  if (!hexDecode(digits, sig) || sig.size() != 64) return false;
  if (!hexDecode(publicKey, key) || key.size() != 32) return false;
  return ed25519Verify(sig.data(), reinterpret_cast<const std::uint8_t*>(body.data()), body.size(),
                       key.data());
}

bool isSafeManifestPath(std::string_view path) {
  return isSafeRelativePath(path) &&
         toLowerAscii(path.substr(0, path.find('/'))) != kWorkFolderName;
}

bool parseManifestFile(const Json& entry, ManifestFile& out, std::string& error) {
  out.path = entry.getString("path");
  out.size = sizeField(entry, "size");
  out.sha256 = toLowerAscii(entry.getString("sha256"));
  out.packed = sizeField(entry, "packed");
  const Json& mode = entry.get("mode");
  out.once = mode.isString() && mode.asString() == "once";

  // The path is judged first: it is what could reach outside the client folder.
  if (!isSafeManifestPath(out.path)) {
    error = "unsafe path in manifest: " + out.path;
    return false;
  }
  std::vector<std::uint8_t> digest;
  if (out.sha256.size() != 64 || !hexDecode(out.sha256, digest) || out.size < 0 || out.packed < 0) {
    error = "bad entry in manifest: " + out.path;
    return false;
  }
  return true;
}

bool parseManifest(const Json& root, Manifest& out, std::string& error) {
  out = Manifest{};
  const Json& format = root.get("format");
  if (!root.isObject() || !format.isNumber() || truncateToInt64(format.asNumber()) != 1) {
    error = "unknown manifest format";
    return false;
  }
  out.generated = root.getString("generated");
  out.build = root.getString("build");

  const Json& launcher = root.get("launcher");
  if (launcher.isObject() && !parseManifestFile(launcher, out.launcher, error)) return false;

  std::unordered_set<std::string> seen;
  for (const Json& element : root.get("files").elements()) {
    ManifestFile entry;
    if (!parseManifestFile(element, entry, error)) return false;
    // Windows folders ignore letter case: two such entries would fight over one file.
    if (!seen.insert(toLowerAscii(entry.path)).second) {
      error = "duplicate path in manifest: " + entry.path;
      return false;
    }
    out.files.push_back(std::move(entry));
  }

  for (const Json& element : root.get("remove").elements()) {
    const std::string path = element.isString() ? element.asString() : std::string();
    if (!isSafeManifestPath(path)) {
      error = "unsafe path in manifest: " + path;
      return false;
    }
    out.remove.push_back(path);
  }
  return true;
}

}  // namespace tu
