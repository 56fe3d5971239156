// The block index of a packed file: what a launcher needs to rebuild a file from the blocks it
// already has. The publisher writes it beside files/<path>.tz as files/<path>.tzi; it is served
// like the packed file, with the same "?v=" tag. Layout, all integers little-endian:
//
//   0   4   magic "TZI1"
//   4   8   unpacked size                  (the manifest's size)
//   12  4   block size, 4,096 to 16 MiB    (the packed file's)
//   16  4   block count                    (the packed file's: ceil(size / block size))
//   20  8   packed size                    (the manifest's packed)
//   28  32  SHA-256 of the unpacked file   (the manifest's sha256)
//   60  24 x count, per block: the packed file's table word (u32), the weak checksum of the
//       block's unpacked bytes (u32), the first 16 bytes of their SHA-256
//
// The index is not signed and need not be: every block taken on its word is checked against its
// strong hash, and the whole file against the manifest's SHA-256 before it is installed, so a
// wrong index costs at most the download it was meant to save. docs/formats.md has the details.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "update/manifest.h"

namespace tu {

inline constexpr char kBlockIndexMagic[4] = {'T', 'Z', 'I', '1'};
inline constexpr std::size_t kBlockIndexHeaderSize = 60;
inline constexpr std::size_t kBlockIndexEntrySize = 24;
inline constexpr std::size_t kStrongHashSize = 16;
// Smaller blocks make the index large and the weak checksum weak, for little gain.
inline constexpr std::uint32_t kBlockIndexMinBlockSize = 4096;
// Smaller packed files are not worth the index's request: launchers download them whole, and
// the publisher writes no index for them.
inline constexpr std::int64_t kSmallestPatchedFile = 65536;

using StrongHash = std::array<std::uint8_t, kStrongHashSize>;

struct BlockIndexEntry {
  std::uint32_t word = 0;  // the packed file's table word: bit 31 raw, bits 0-30 stored length
  std::uint32_t weak = 0;
  StrongHash strong{};
};

struct BlockIndex {
  std::uint64_t size = 0;
  std::uint32_t blockSize = 0;
  std::uint64_t packed = 0;
  std::vector<BlockIndexEntry> blocks;

  // Unpacked bytes of block i: blockSize for all but possibly the last.
  std::size_t blockLength(std::size_t i) const;
};

// Reads index bytes for `entry`. Everything is checked before anything is allocated or trusted:
// the exact length, the size, packed size and SHA-256 against the entry (so an index of another
// file or version is refused), the block size and count, every word's stored length against
// the packed format's bound (raw blocks exactly their length), and that the stored lengths add
// up to the packed size, so every block's bytes lie inside the packed file. Failures:
// "not a block index", "block index is for another file", "block index is damaged".
bool parseBlockIndex(std::string_view bytes, const ManifestFile& entry, BlockIndex& out,
                     std::string& error);

// rsync's weak checksum over a window of bytes: two 16-bit sums, a = sum of the bytes and
// b = sum of (window length - i) * byte i, as (b << 16) | a. Rolled one byte along in O(1).
class WeakChecksum {
 public:
  void reset(const unsigned char* data, std::size_t size);
  // Moves the window one byte on: `out` leaves at its start, `in` joins at its end.
  void roll(unsigned char out, unsigned char in) {
    a_ += in - static_cast<std::uint32_t>(out);
    b_ += a_ - length_ * out;
  }
  std::uint32_t value() const { return (b_ << 16) | (a_ & 0xffffu); }

 private:
  // Kept modulo 2^32; only the low 16 bits of each matter.
  std::uint32_t a_ = 0;
  std::uint32_t b_ = 0;
  std::uint32_t length_ = 0;
};

std::uint32_t weakChecksum(const unsigned char* data, std::size_t size);

// The first 16 bytes of the SHA-256 of `data`.
StrongHash strongHash(const unsigned char* data, std::size_t size);

}  // namespace tu
