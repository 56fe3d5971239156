#include "publish/manifest_writer.h"

#include "core/files.h"
#include "core/json.h"
#include "crypto/ed25519_sign.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

Json entryJson(const ManifestFile& entry) {
  Json json = Json::object();
  json.set("path", entry.path);
  json.set("size", entry.size);
  json.set("sha256", entry.sha256);
  json.set("packed", entry.packed);
  if (entry.once) json.set("mode", "once");
  return json;
}

}  // namespace

std::string manifestText(const Manifest& manifest) {
  Json root = Json::object();
  root.set("format", manifest.format);
  root.set("generated", manifest.generated);
  root.set("build", manifest.build);
  if (!manifest.launcher.path.empty()) root.set("launcher", entryJson(manifest.launcher));
  Json files = Json::array();
  for (const ManifestFile& entry : manifest.files) files.push(entryJson(entry));
  root.set("files", std::move(files));
  Json remove = Json::array();
  for (const std::string& path : manifest.remove) remove.push(path);
  root.set("remove", std::move(remove));
  return root.dump(true) + "\n";
}

std::string signatureText(std::string_view body, const std::uint8_t seed[32]) {
  std::uint8_t signature[64];
  ed25519Sign(seed, reinterpret_cast<const std::uint8_t*>(body.data()), body.size(), signature);
  return hexEncode(signature, sizeof signature) + "\n";
}

std::string publicKeyText(const std::uint8_t seed[32]) {
  std::uint8_t key[32];
  ed25519PublicKey(seed, key);
  return hexEncode(key, sizeof key);
}

bool publishFile(const fs::path& source, const fs::path& folder, std::string_view path,
                 const PackOptions& options, ManifestFile& entry, std::string& error) {
  if (!isSafeManifestPath(path)) {
    error = "unsafe path: " + std::string(path);
    return false;
  }
  PackResult result;
  const fs::path packed = resolveRelative(folder, "files/" + std::string(path) + ".tz");
  if (!packFile(source, packed, options, result, error)) return false;
  entry.path = std::string(path);
  entry.size = static_cast<std::int64_t>(result.size);
  entry.sha256 = result.sha256;
  entry.packed = static_cast<std::int64_t>(result.packed);
  return true;
}

bool writeSignedManifest(const fs::path& folder, const Manifest& manifest,
                         const std::uint8_t seed[32], std::string& error) {
  const std::string body = manifestText(manifest);
  if (!writeFileAtomic(resolveRelative(folder, "manifest.json"), body) ||
      !writeFileAtomic(resolveRelative(folder, "manifest.sig"), signatureText(body, seed))) {
    error = "cannot write the manifest in " + pathToUtf8(folder);
    return false;
  }
  return true;
}

}  // namespace tu
