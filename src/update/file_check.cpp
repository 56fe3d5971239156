// Hashing a file, and the check phase's verdict on one file with the hash cache's shortcut.
#include "update/file_check.h"

#include <fstream>
#include <memory>
#include <system_error>

#include "core/files.h"
#include "crypto/sha256.h"

namespace tu {

namespace fs = std::filesystem;

bool sha256File(const fs::path& path, std::string& digest, const std::atomic<bool>* cancel) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  // One buffer per call, read sequentially: a repair runs this over every file of the client,
  // so no file is ever held whole in memory.
  constexpr std::size_t kBufferSize = 1048576;
  const std::unique_ptr<char[]> buffer(new char[kBufferSize]);
  Sha256 hasher;
  for (;;) {
    if (cancel != nullptr && cancel->load()) return false;
    in.read(buffer.get(), kBufferSize);
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got > 0) hasher.update(buffer.get(), got);
    if (got < kBufferSize) break;
  }
  if (in.bad()) return false;
  std::uint8_t bytes[Sha256::kDigestSize];
  hasher.final(bytes);
  digest = hexEncode(bytes, sizeof bytes);
  return true;
}

bool checkFile(const ManifestFile& entry, const fs::path& local, CheckMode mode, HashCache& cache,
               const std::atomic<bool>& cancel) {
  std::error_code ec;
  const std::uint64_t size = fs::file_size(local, ec);
  if (ec) return false;
  // A file installed "once" belongs to the player after that: only its presence counts.
  if (entry.once) return true;
  if (size != static_cast<std::uint64_t>(entry.size)) return false;

  const std::string stamp = fileStamp(local);
  if (mode == CheckMode::Check && cache.lookup(entry.path, size, stamp) == entry.sha256) {
    return true;
  }
  std::string digest;
  if (!sha256File(local, digest, &cancel)) return false;
  // Remembered even when it does not match: the record then names the file's own content, so it
  // can never vouch for the manifest's.
  cache.record(entry.path, size, stamp, digest);
  return digest == entry.sha256;
}

}  // namespace tu
