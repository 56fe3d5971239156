// Any bytes as the downloaded .part of one fixed manifest entry, unpacked beside the player's
// file the way the update run unpacks it and, when accepted, renamed over it (without the
// flush to disk that the run adds, which would only slow the fuzzer). Afterwards the file
// holds either the entry's content (installed) or its old content (refused with one of the
// reader's texts or a checksum mismatch); the .part is left as it was and nothing else stays
// beside them.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>

#include "core/files.h"
#include "crypto/sha256.h"
#include "update/packed_file.h"

namespace {

namespace fs = std::filesystem;

void check(bool condition) {
  if (!condition) std::abort();
}

// The entry's 6,000 bytes: text that deflates well, then noise that does not, so that its
// packed forms (the seeds) hold blocks of both kinds.
std::string entryContent() {
  std::string content;
  for (int line = 0; content.size() < 3000; ++line)
    content += "line " + std::to_string(line) + " of the client file\n";
  content.resize(3000);
  std::uint32_t state = 12345;
  while (content.size() < 6000) {
    state = state * 1103515245u + 12345u;
    content += static_cast<char>(state >> 24);
  }
  return content;
}

std::string sha256Hex(const std::string& data) {
  tu::Sha256 hasher;
  hasher.update(data.data(), data.size());
  std::uint8_t digest[tu::Sha256::kDigestSize];
  hasher.final(digest);
  return tu::hexEncode(digest, sizeof digest);
}

const fs::path& scratch() {
  static const fs::path folder = [] {
    std::error_code ec;
    const fs::path path =
        fs::temp_directory_path(ec) / ("tarn-install-fuzz-" + std::to_string(getpid()));
    fs::create_directories(path, ec);
    return path;
  }();
  return folder;
}

std::string contentOf(const fs::path& path) {
  std::string data;
  check(tu::readFile(path, data));
  return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string kContent = entryContent();
  static const std::string kSha256 = sha256Hex(kContent);
  static const std::set<std::string> kRefusals = {
      "not a packed file", "packed file header does not match the manifest",
      "packed file is truncated", "packed file is damaged", "checksum mismatch after download"};
  const std::string part(reinterpret_cast<const char*>(data), size);
  const fs::path partFile = scratch() / "L2.exe.part";
  const fs::path target = scratch() / "L2.exe";
  check(tu::writeFileAtomic(partFile, part) && tu::writeFileAtomic(target, "old"));

  std::string error;
  if (tu::unpackPackedFile(partFile, target, kContent.size(), kSha256, nullptr, error)) {
    check(tu::replaceFile(scratch() / "L2.exe.tznew", target) == 0);
    check(contentOf(target) == kContent);
  } else {
    check(kRefusals.count(error) == 1);
    check(contentOf(target) == "old");
  }
  check(contentOf(partFile) == part);
  std::error_code ec;
  std::size_t files = 0;
  for (fs::directory_iterator it(scratch(), ec), end; !ec && it != end; it.increment(ec)) ++files;
  check(files == 2);
  return 0;
}
