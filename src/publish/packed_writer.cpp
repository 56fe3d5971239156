#include "publish/packed_writer.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "core/files.h"
#include "crypto/sha256.h"
#include "publish/block_index_writer.h"
#include "update/packed_file.h"
#include "update/paths.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

void putLe32(unsigned char* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

bool writeBytes(std::ostream& out, const void* data, std::size_t size) {
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

// Writes `index` as the block index of the packed file `packed` (`packed` + "i"), or removes
// that file when `index` is empty.
bool writeBlockIndex(const fs::path& packed, const std::string& index, std::string& error) {
  const fs::path path = withSuffix(packed, "i");
  std::error_code ec;
  if (index.empty()) {
    fs::remove(path, ec);
    return true;
  }
  if (!writeFileAtomic(path, index)) {
    error = "cannot write " + pathToUtf8(path);
    return false;
  }
  return true;
}

}  // namespace

bool writePacked(std::istream& in, std::uint64_t size, std::ostream& out,
                 const PackOptions& options, PackResult& result, std::string& error) {
  if (options.blockSize < 1 || options.blockSize > kPackedMaxBlockSize) {
    error = "block size must be 1 to 16777216";
    return false;
  }
  if (options.level < 0 || options.level > 9) {
    error = "compression level must be 0 to 9";
    return false;
  }
  const std::uint64_t count = packedBlockCount(size, options.blockSize);
  if (count > 0xffffffffu) {
    error = "file has too many blocks for this block size";
    return false;
  }

  const std::streampos start = out.tellp();
  unsigned char header[kPackedHeaderSize];
  std::copy(kPackedMagic, kPackedMagic + 4, header);
  putLe32(header + 4, static_cast<std::uint32_t>(size));
  putLe32(header + 8, static_cast<std::uint32_t>(size >> 32));
  putLe32(header + 12, options.blockSize);
  putLe32(header + 16, static_cast<std::uint32_t>(count));
  if (!writeBytes(out, header, sizeof header)) {
    error = "write failed";
    return false;
  }
  // Room for the table, filled in once every block's stored length is known.
  const std::vector<unsigned char> zeros(65536, 0);
  for (std::uint64_t left = count * 4; left > 0;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
    if (!writeBytes(out, zeros.data(), n)) {
      error = "write failed";
      return false;
    }
    left -= n;
  }

  std::vector<std::uint32_t> table;
  table.reserve(static_cast<std::size_t>(count));
  std::vector<unsigned char> block(
      static_cast<std::size_t>(std::min<std::uint64_t>(options.blockSize, size)));
  std::vector<unsigned char> deflated(compressBound(static_cast<uLong>(block.size())));
  Sha256 hasher;
  // Made along the way, and kept when the packed size calls for it.
  std::optional<BlockIndexWriter> index;
  if (wantsBlockIndex(options.blockSize, std::numeric_limits<std::uint64_t>::max())) {
    index.emplace(size, options.blockSize);
  }
  std::uint64_t packed = kPackedHeaderSize + count * 4;
  for (std::uint64_t i = 0; i < count; ++i) {
    const auto expected = static_cast<std::size_t>(
        std::min<std::uint64_t>(options.blockSize, size - i * options.blockSize));
    in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(expected));
    if (static_cast<std::size_t>(in.gcount()) != expected) {
      error = "source is shorter than its size";
      return false;
    }
    hasher.update(block.data(), expected);
    uLongf length = static_cast<uLongf>(deflated.size());
    const bool compressed = compress2(deflated.data(), &length, block.data(),
                                      static_cast<uLong>(expected), options.level) == Z_OK &&
                            length < expected;
    const unsigned char* data = compressed ? deflated.data() : block.data();
    const std::size_t stored = compressed ? static_cast<std::size_t>(length) : expected;
    table.push_back(static_cast<std::uint32_t>(stored) | (compressed ? 0 : kPackedRawFlag));
    if (index) index->add(block.data(), expected, table.back());
    if (!writeBytes(out, data, stored)) {
      error = "write failed";
      return false;
    }
    packed += stored;
  }

  std::vector<unsigned char> words(table.size() * 4);
  for (std::size_t i = 0; i < table.size(); ++i) putLe32(words.data() + 4 * i, table[i]);
  out.seekp(start + static_cast<std::streamoff>(kPackedHeaderSize));
  if (!out || !writeBytes(out, words.data(), words.size())) {
    error = "write failed";
    return false;
  }
  out.seekp(0, std::ios::end);

  std::uint8_t digest[Sha256::kDigestSize];
  hasher.final(digest);
  result.size = size;
  result.sha256 = hexEncode(digest, sizeof digest);
  result.packed = packed;
  result.index = index && wantsBlockIndex(options.blockSize, packed)
                     ? index->finish(packed, result.sha256)
                     : std::string();
  return true;
}

bool packToFile(std::istream& in, std::uint64_t size, std::string_view name,
                const fs::path& destination, const PackOptions& options,
                const SourceCheck& sourceUnchanged, PackResult& result, std::string& error) {
  std::error_code ec;
  if (destination.has_parent_path()) fs::create_directories(destination.parent_path(), ec);
  const fs::path temporary = withSuffix(destination, ".tmp");
  std::string why;
  bool ok;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = "cannot write " + pathToUtf8(temporary);
      return false;
    }
    ok = writePacked(in, size, out, options, result, why);
    out.close();
    if (ok && (!out || !flushToDisk(temporary))) {
      ok = false;
      why = "cannot write " + pathToUtf8(temporary);
    }
  }
  if (ok && sourceUnchanged) ok = sourceUnchanged(why);
  if (!ok) {
    fs::remove(temporary, ec);
    error = std::string(name) + ": " + why;
    return false;
  }
  if (!moveIntoPlace(temporary, destination)) {
    fs::remove(temporary, ec);
    error = "cannot replace " + pathToUtf8(destination);
    return false;
  }
  flushFolder(destination.parent_path());
  return writeBlockIndex(destination, result.index, error);
}

bool packFile(const fs::path& source, const fs::path& destination, const PackOptions& options,
              PackResult& result, std::string& error) {
  std::error_code ec;
  const std::uint64_t size = fs::file_size(source, ec);
  std::ifstream in(source, std::ios::binary);
  if (ec || !in) {
    error = "cannot read " + pathToUtf8(source);
    return false;
  }
  return packToFile(in, size, pathToUtf8(source), destination, options, {}, result, error);
}

std::string packBytes(std::string_view data, const PackOptions& options) {
  std::istringstream in{std::string(data)};
  std::ostringstream out;
  PackResult result;
  std::string error;
  if (!writePacked(in, data.size(), out, options, result, error)) return {};
  return out.str();
}

}  // namespace tu
