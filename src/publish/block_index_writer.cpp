#include "publish/block_index_writer.h"

#include <fstream>
#include <vector>

#include "core/files.h"
#include "update/block_index.h"
#include "update/packed_file.h"

namespace tu {

namespace {

void putLe(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
}

}  // namespace

bool wantsBlockIndex(std::uint32_t blockSize, std::uint64_t packed) {
  return blockSize >= kBlockIndexMinBlockSize && blockSize <= kPackedMaxBlockSize &&
         packed >= static_cast<std::uint64_t>(kSmallestPatchedFile);
}

BlockIndexWriter::BlockIndexWriter(std::uint64_t size, std::uint32_t blockSize) {
  const std::uint64_t count = packedBlockCount(size, blockSize);
  bytes_.reserve(kBlockIndexHeaderSize + count * kBlockIndexEntrySize);
  bytes_.append(kBlockIndexMagic, sizeof kBlockIndexMagic);
  putLe(bytes_, size, 8);
  putLe(bytes_, blockSize, 4);
  putLe(bytes_, count, 4);
  // The packed size and the whole file's SHA-256 are known at the end.
  bytes_.append(kBlockIndexHeaderSize - bytes_.size(), '\0');
}

void BlockIndexWriter::add(const unsigned char* data, std::size_t size, std::uint32_t word) {
  putLe(bytes_, word, 4);
  putLe(bytes_, weakChecksum(data, size), 4);
  const StrongHash strong = strongHash(data, size);
  bytes_.append(reinterpret_cast<const char*>(strong.data()), strong.size());
}

std::string BlockIndexWriter::finish(std::uint64_t packed, const std::string& sha256) const {
  std::string index = bytes_;
  std::vector<std::uint8_t> digest;
  hexDecode(sha256, digest);
  std::string tail;
  putLe(tail, packed, 8);
  tail.append(digest.begin(), digest.end());
  index.replace(20, tail.size(), tail);
  return index;
}

bool blockIndexOfPacked(const std::filesystem::path& packed, const ManifestFile& entry,
                        std::string& index, std::string& error) {
  std::ifstream in(packed, std::ios::binary);
  PackedReader reader;
  if (!reader.open(in, static_cast<std::uint64_t>(entry.size), error)) return false;
  index.clear();
  if (!wantsBlockIndex(reader.blockSize(), static_cast<std::uint64_t>(entry.packed))) return true;
  BlockIndexWriter writer(static_cast<std::uint64_t>(entry.size), reader.blockSize());
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  while (reader.next(data, size, error)) writer.add(data, size, reader.lastWord());
  if (!error.empty()) return false;
  index = writer.finish(static_cast<std::uint64_t>(entry.packed), entry.sha256);
  return true;
}

}  // namespace tu
