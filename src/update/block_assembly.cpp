#include "update/block_assembly.h"

#include <fstream>
#include <vector>

#include "core/files.h"
#include "update/block_scan.h"
#include "update/blocks_part.h"
#include "update/packed_file.h"
#include "update/replacement_file.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

// A file read at increasing, mostly adjacent offsets: seeks only when it has to.
class BlockSource {
 public:
  explicit BlockSource(const fs::path& path) : path_(path), in_(path, std::ios::binary) {}
  bool isOpen() const { return static_cast<bool>(in_); }

  bool read(std::uint64_t offset, std::size_t size, std::vector<unsigned char>& into,
            std::string& error) {
    if (into.size() < size) into.resize(size);
    if (offset != position_) {
      in_.clear();
      in_.seekg(static_cast<std::streamoff>(offset));
    }
    in_.read(reinterpret_cast<char*>(into.data()), static_cast<std::streamsize>(size));
    if (static_cast<std::size_t>(in_.gcount()) != size) {
      error = "cannot read " + pathToUtf8(path_);
      position_ = static_cast<std::uint64_t>(-1);
      return false;
    }
    position_ = offset + size;
    return true;
  }

 private:
  fs::path path_;
  std::ifstream in_;
  std::uint64_t position_ = 0;
};

// Every block in order into `file`; the sources close when it returns, as Windows will not
// rename over a file that is still open.
bool writeBlocks(const BlockPlan& plan, const fs::path& part, ReplacementFile& file,
                 const std::atomic<bool>* cancel, std::string& error) {
  BlockSource local(plan.local);
  BlockSource fetched(part);
  if (!local.isOpen() || !fetched.isOpen()) {
    error = "cannot read " + pathToUtf8(local.isOpen() ? part : plan.local);
    return false;
  }
  const BlockIndex& index = plan.index;
  std::vector<unsigned char> block;
  std::vector<unsigned char> stored;
  std::uint64_t packedOffset = kPackedHeaderSize + 4 * std::uint64_t{index.blocks.size()};
  std::size_t range = 0;
  std::uint64_t rangeInPart = kBlocksPartHeaderSize;  // where ranges[range] starts in `part`
  for (std::size_t i = 0; i < index.blocks.size(); ++i) {
    if (cancel != nullptr && cancel->load()) {
      error = "cancelled";
      return false;
    }
    const BlockIndexEntry& entry = index.blocks[i];
    const std::size_t length = index.blockLength(i);
    const std::uint32_t storedLength = entry.word & kPackedLengthMask;
    if (plan.localOffsets[i] != kBlockNotFound) {
      // Confirmed by its strong hash when it was found; the whole file's hash covers the rest.
      if (!local.read(plan.localOffsets[i], length, block, error)) return false;
    } else {
      while (range < plan.ranges.size() && plan.ranges[range].last < packedOffset) {
        rangeInPart += plan.ranges[range].length();
        ++range;
      }
      if (range == plan.ranges.size()) {
        error = "fetched block is damaged";
        return false;
      }
      const std::uint64_t at = rangeInPart + (packedOffset - plan.ranges[range].first);
      if (!fetched.read(at, storedLength, stored, error)) return false;
      if ((entry.word & kPackedRawFlag) != 0) {
        block.swap(stored);
      } else if (!inflateBlock(stored.data(), storedLength, length, block)) {
        error = "fetched block is damaged";
        return false;
      }
      if (strongHash(block.data(), length) != entry.strong) {
        error = "fetched block is damaged";
        return false;
      }
    }
    if (!file.write(block, length, error)) return false;
    packedOffset += storedLength;
  }
  return true;
}

}  // namespace

bool assembleFromBlocks(const BlockPlan& plan, const fs::path& part, const fs::path& target,
                        const std::string& sha256, const std::atomic<bool>* cancel,
                        std::string& error) {
  ReplacementFile file(target);
  return file.open(plan.index.blocks.size() > 1, error) &&
         writeBlocks(plan, part, file, cancel, error) && file.commit(sha256, error);
}

}  // namespace tu
