// The signing key file: the 32-byte Ed25519 seed as 64 lowercase hexadecimal digits and a line
// feed, readable by its owner only. Whoever holds it can sign a manifest that every launcher
// of the server installs, so it is made once, never overwritten, and never published.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tu::builder {

// A seed that wipes itself when it goes.
struct Seed {
  std::array<std::uint8_t, 32> bytes{};
  Seed() = default;
  Seed(const Seed&) = delete;
  Seed& operator=(const Seed&) = delete;
  ~Seed();
};

// Reads a key file: 64 hexadecimal digits (either case), optionally followed by white space.
// Errors: "cannot read <file>", "<file> is not a tarnbuilder key (64 hexadecimal digits expected)".
bool readKeyFile(const std::filesystem::path& file, Seed& seed, std::string& error);

// Makes a new random seed and writes it to `file` (owner-only), refusing an existing file:
// "<file> already exists; keygen never replaces a key".
bool createKeyFile(const std::filesystem::path& file, Seed& seed, std::string& error);

// The public key as TarnLauncher.json's "publicKey" spells it: 64 lowercase hexadecimal digits.
std::string publicKeyOf(const Seed& seed);

// Whether `text` is exactly 64 hexadecimal digits (a public key as the launcher checks it).
bool isPublicKeyText(const std::string& text);

}  // namespace tu::builder
