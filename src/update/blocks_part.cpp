#include "update/blocks_part.h"

#include <cstring>
#include <fstream>
#include <system_error>

#include "core/files.h"
#include "crypto/sha256.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

// "TZB1" and the SHA-256 of what the bytes after it are: the entry's checksum and the ranges.
std::string partHeader(const std::string& sha256, const std::vector<ByteRange>& ranges) {
  Sha256 hasher;
  hasher.update(sha256.data(), sha256.size());
  for (const ByteRange& range : ranges) {
    unsigned char bytes[16];
    for (int i = 0; i < 8; ++i) {
      bytes[i] = static_cast<unsigned char>(range.first >> (8 * i));
      bytes[8 + i] = static_cast<unsigned char>(range.last >> (8 * i));
    }
    hasher.update(bytes, sizeof bytes);
  }
  std::string header = "TZB1";
  header.resize(kBlocksPartHeaderSize);
  hasher.final(reinterpret_cast<std::uint8_t*>(header.data() + 4));
  return header;
}

// How many of the ranges' bytes `part` holds: its length past the header when the header is
// this plan's and it is not longer than the plan; otherwise it is started afresh with 0.
bool bytesHeld(const fs::path& part, const std::string& header, std::uint64_t total,
               std::uint64_t& held, std::string& error) {
  std::error_code ec;
  const std::uint64_t size = fs::file_size(part, ec);
  if (!ec && size >= header.size() && size - header.size() <= total) {
    std::ifstream in(part, std::ios::binary);
    std::string found(header.size(), '\0');
    in.read(found.data(), static_cast<std::streamsize>(found.size()));
    if (in && found == header) {
      held = size - header.size();
      return true;
    }
  }
  std::ofstream out(part, std::ios::binary | std::ios::trunc);
  out.write(header.data(), static_cast<std::streamsize>(header.size()));
  out.close();
  if (!out) {
    error = "cannot write " + pathToUtf8(part);
    return false;
  }
  held = 0;
  return true;
}

}  // namespace

bool fetchPlannedRanges(Fetcher& fetcher, const std::string& url, const fs::path& part,
                        const std::string& sha256, const std::vector<ByteRange>& ranges,
                        const ProgressCallback& progress, std::string& error) {
  const std::string header = partHeader(sha256, ranges);
  std::uint64_t total = 0;
  for (const ByteRange& range : ranges) total += range.length();

  for (int attempt = 1;; ++attempt) {
    std::uint64_t held = 0;
    if (!bytesHeld(part, header, total, held, error)) return false;
    const std::uint64_t before = held;
    bool stopped = false;
    bool failed = false;
    std::uint64_t skip = held;  // bytes of the ranges already in the file
    for (const ByteRange& range : ranges) {
      if (skip >= range.length()) {
        skip -= range.length();
        continue;
      }
      const std::uint64_t base = held;
      const ProgressCallback counted = [&](std::uint64_t bytes) {
        stopped = !progress(base + bytes);
        return !stopped;
      };
      if (!fetcher.downloadRange(url, part, range.first + skip, range.last, counted, error)) {
        failed = true;
        break;
      }
      held += range.length() - skip;
      skip = 0;
    }
    if (!failed) return true;
    // Whatever the failed request appended stays; the next attempt asks for the rest.
    std::error_code ec;
    const std::uint64_t size = fs::file_size(part, ec);
    held = !ec && size > header.size() ? size - header.size() : 0;
    if (stopped || held == before || attempt == 3) return false;
  }
}

}  // namespace tu
