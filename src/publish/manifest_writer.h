// Publishing a client: packed files under files/, manifest.json listing them and manifest.sig
// signing it. The launcher verifies the signature over the exact bytes of manifest.json, so
// the two are always written together and never edited afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "publish/packed_writer.h"
#include "update/manifest.h"

namespace tu {

// The manifest document: indented JSON with "format", "generated", "build", "launcher" (only
// when its path is not empty), "files" and "remove", ending with a line feed.
std::string manifestText(const Manifest& manifest);

// manifest.sig's content for `body`: the Ed25519 signature as 128 lowercase hexadecimal digits
// and a line feed. `seed` is the 32-byte secret seed.
std::string signatureText(std::string_view body, const std::uint8_t seed[32]);

// The public key of `seed` as 64 lowercase hexadecimal digits (TarnLauncher.json's publicKey).
std::string publicKeyText(const std::uint8_t seed[32]);

// Packs `source` into folder/files/<path>.tz (the name the launcher asks for, decoded) and
// fills `entry` (path, size, sha256, packed; `once` is left as it was).
bool publishFile(const std::filesystem::path& source, const std::filesystem::path& folder,
                 std::string_view path, const PackOptions& options, ManifestFile& entry,
                 std::string& error);

// Writes folder/manifest.json and folder/manifest.sig, each atomically.
bool writeSignedManifest(const std::filesystem::path& folder, const Manifest& manifest,
                         const std::uint8_t seed[32], std::string& error);

}  // namespace tu
