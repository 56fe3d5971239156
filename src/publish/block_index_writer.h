// Making block indexes (update/block_index.h has the layout): the publisher makes each one while
// it packs the file, and tarnbuilder verify makes it again from the packed file to compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "update/manifest.h"

namespace tu {

// Whether a packed file gets an index: blocks of 4 KiB or more, and at least the packed size for
// which launchers ask for one (kSmallestPatchedFile).
bool wantsBlockIndex(std::uint32_t blockSize, std::uint64_t packed);

class BlockIndexWriter {
 public:
  BlockIndexWriter(std::uint64_t size, std::uint32_t blockSize);
  // The next block: its unpacked bytes and its word in the packed file's table.
  void add(const unsigned char* data, std::size_t size, std::uint32_t word);
  // The index, once every block was added; `sha256` is the whole file's, in hexadecimal.
  std::string finish(std::uint64_t packed, const std::string& sha256) const;

 private:
  std::string bytes_;
};

// The index that `packed` (the packed file of `entry`) should have, made by unpacking it the
// way the installer does; "" when it gets none. Failures: the packed reader's.
bool blockIndexOfPacked(const std::filesystem::path& packed, const ManifestFile& entry,
                        std::string& index, std::string& error);

}  // namespace tu
