// verify: checks a published folder the way a launcher would see it, with the launcher's own
// code: the signature (verifyManifestSignature), the manifest rules (parseManifest), and for
// every entry that its packed file exists, has exactly `packed` bytes, and unpacks with the
// installer (unpackPackedFile, into a scratch folder) to `size` bytes with the listed
// SHA-256, and that its block index (when it should have one) is there, passes the launcher's
// parser and matches the packed file block for block. Every problem is listed, not just the
// first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tu::builder {

struct VerifyOptions {
  std::filesystem::path dir;
  std::string publicKey;  // 64 hexadecimal digits
  unsigned jobs = 0;      // 0: one per processor
};

struct VerifyProgress {
  std::size_t filesDone = 0;
  std::size_t filesTotal = 0;
  std::uint64_t bytesDone = 0;  // packed bytes checked
  std::uint64_t bytesTotal = 0;
};

struct VerifyReport {
  bool signatureGood = false;
  bool manifestGood = false;  // parsed under the launcher's rules
  std::string build;
  std::size_t entries = 0;  // files, and the launcher when present
  std::uint64_t bytes = 0;  // unpacked bytes of every entry
  std::uint64_t packedBytes = 0;
  // One line each: "manifest.sig: ...", "manifest.json: ...", "<path>: ...", sorted by path
  // after the two documents' own problems.
  std::vector<std::string> problems;
};

// True when there is no problem. `progress` (may be empty) is called on the calling thread
// about ten times a second while packed files are checked.
bool verifyPublished(const VerifyOptions& options, VerifyReport& report,
                     const std::function<void(const VerifyProgress&)>& progress = {});

}  // namespace tu::builder
