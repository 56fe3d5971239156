#include "update/block_index.h"

#include <algorithm>
#include <cstring>

#include "core/files.h"
#include "crypto/sha256.h"
#include "update/little_endian.h"
#include "update/packed_file.h"

namespace tu {

std::size_t BlockIndex::blockLength(std::size_t i) const {
  return static_cast<std::size_t>(
      std::min<std::uint64_t>(blockSize, size - static_cast<std::uint64_t>(i) * blockSize));
}

bool parseBlockIndex(std::string_view bytes, const ManifestFile& entry, BlockIndex& out,
                     std::string& error) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() < kBlockIndexHeaderSize ||
      std::memcmp(data, kBlockIndexMagic, sizeof kBlockIndexMagic) != 0) {
    error = "not a block index";
    return false;
  }
  std::vector<std::uint8_t> sha256;
  const std::uint64_t size = readLe64(data + 4);
  const std::uint32_t blockSize = readLe32(data + 12);
  const std::uint32_t count = readLe32(data + 16);
  const std::uint64_t packed = readLe64(data + 20);
  if (size != static_cast<std::uint64_t>(entry.size) ||
      packed != static_cast<std::uint64_t>(entry.packed) || !hexDecode(entry.sha256, sha256) ||
      sha256.size() != 32 || std::memcmp(data + 28, sha256.data(), 32) != 0) {
    error = "block index is for another file";
    return false;
  }
  // The count is tied to the signed size, and the length to the count, before anything is
  // allocated for the entries.
  if (blockSize < kBlockIndexMinBlockSize || blockSize > kPackedMaxBlockSize ||
      count != packedBlockCount(size, blockSize) ||
      bytes.size() != kBlockIndexHeaderSize + std::uint64_t{count} * kBlockIndexEntrySize) {
    error = "block index is damaged";
    return false;
  }

  out.size = size;
  out.blockSize = blockSize;
  out.packed = packed;
  out.blocks.assign(count, BlockIndexEntry{});
  const std::uint32_t limit = packedStoredLengthLimit(blockSize);
  std::uint64_t stored = kPackedHeaderSize + std::uint64_t{count} * 4;
  const unsigned char* p = data + kBlockIndexHeaderSize;
  for (std::uint32_t i = 0; i < count; ++i, p += kBlockIndexEntrySize) {
    BlockIndexEntry& block = out.blocks[i];
    block.word = readLe32(p);
    block.weak = readLe32(p + 4);
    std::memcpy(block.strong.data(), p + 8, kStrongHashSize);
    const std::uint32_t length = block.word & kPackedLengthMask;
    const bool raw = (block.word & kPackedRawFlag) != 0;
    if (length == 0 || length > limit || (raw && length != out.blockLength(i))) {
      error = "block index is damaged";
      return false;
    }
    stored += length;
  }
  if (stored != packed) {
    error = "block index is damaged";
    return false;
  }
  return true;
}

void WeakChecksum::reset(const unsigned char* data, std::size_t size) {
  // b is the sum of the running sums of a: byte i is counted (size - i) times.
  std::uint32_t a = 0;
  std::uint32_t b = 0;
  for (std::size_t i = 0; i < size; ++i) {
    a += data[i];
    b += a;
  }
  a_ = a;
  b_ = b;
  length_ = static_cast<std::uint32_t>(size);
}

std::uint32_t weakChecksum(const unsigned char* data, std::size_t size) {
  WeakChecksum checksum;
  checksum.reset(data, size);
  return checksum.value();
}

StrongHash strongHash(const unsigned char* data, std::size_t size) {
  Sha256 hasher;
  hasher.update(data, size);
  std::uint8_t digest[Sha256::kDigestSize];
  hasher.final(digest);
  StrongHash strong;
  std::memcpy(strong.data(), digest, strong.size());
  return strong;
}

}  // namespace tu
