#include "update/block_scan.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "core/files.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kReadChunk = 1 << 20;
// Files at least this large are searched in two halves at once; for smaller ones a second
// thread costs about what it saves.
constexpr std::uint64_t kSplitSize = 256 << 10;
constexpr std::size_t kNoBlock = static_cast<std::size_t>(-1);

// The weak checksums of the index's full-length blocks, sorted for lookup, behind a bitmap of
// at least eight bits per block that answers nearly every miss with one memory access.
class WeakTable {
 public:
  WeakTable(const BlockIndex& index, std::size_t fullBlocks) {
    entries_.reserve(fullBlocks);
    for (std::size_t i = 0; i < fullBlocks; ++i) {
      entries_.emplace_back(index.blocks[i].weak, static_cast<std::uint32_t>(i));
    }
    std::sort(entries_.begin(), entries_.end());
    while (bits_ < 24 && (std::size_t{1} << bits_) < fullBlocks * 8) ++bits_;
    filter_.assign((std::size_t{1} << bits_) / 64, 0);
    for (const auto& entry : entries_) {
      const std::size_t slot = slotOf(entry.first);
      filter_[slot / 64] |= std::uint64_t{1} << (slot % 64);
    }
  }

  bool mayHold(std::uint32_t weak) const {
    const std::size_t slot = slotOf(weak);
    return (filter_[slot / 64] >> (slot % 64) & 1) != 0;
  }

  bool holds(std::uint32_t weak) const {
    bool any = false;
    forEach(weak, [&](std::uint32_t) { any = true; });
    return any;
  }

  // The blocks whose weak checksum is `weak`, in block order.
  template <typename Visit>
  void forEach(std::uint32_t weak, Visit&& visit) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), std::make_pair(weak, 0u));
    for (; it != entries_.end() && it->first == weak; ++it) visit(it->second);
  }

 private:
  std::size_t slotOf(std::uint32_t weak) const {
    return static_cast<std::uint32_t>(weak * 2654435761u) >> (32 - bits_);
  }

  std::vector<std::pair<std::uint32_t, std::uint32_t>> entries_;  // (weak, block)
  std::vector<std::uint64_t> filter_;
  unsigned bits_ = 16;
};

// Reads the local file through one buffer, so that a block and the byte after it are in memory
// at once; what is still needed moves to the front when it refills. The stream stays positioned
// at the end of what the buffer holds.
class Window {
 public:
  Window(std::ifstream& in, std::uint64_t size, std::size_t span, const std::atomic<bool>* cancel)
      : in_(in), size_(size), cancel_(cancel), buffer_(span + std::max(span, kReadChunk)) {}

  // Makes bytes [pos, pos + length) available; pos never goes back. False on a read failure or
  // a cancel (then cancelled() says which).
  bool need(std::uint64_t pos, std::size_t length) {
    if (pos + length <= base_ + filled_) return true;
    // Checked at every refill, so a cancel takes effect within one buffer of reading.
    if (cancel_ != nullptr && cancel_->load()) {
      cancelled_ = true;
      return false;
    }
    if (pos > base_ + filled_) {
      in_.seekg(static_cast<std::streamoff>(pos));
      base_ = pos;
      filled_ = 0;
    }
    const std::size_t keep = static_cast<std::size_t>(base_ + filled_ - pos);
    std::memmove(buffer_.data(), at(pos), keep);
    base_ = pos;
    filled_ = keep;
    const auto want = static_cast<std::size_t>(
        std::min<std::uint64_t>(buffer_.size() - filled_, size_ - (base_ + filled_)));
    in_.read(reinterpret_cast<char*>(buffer_.data() + filled_), static_cast<std::streamsize>(want));
    if (static_cast<std::size_t>(in_.gcount()) != want) return false;
    filled_ += want;
    return pos + length <= base_ + filled_;
  }

  const unsigned char* at(std::uint64_t pos) const {
    return buffer_.data() + static_cast<std::size_t>(pos - base_);
  }
  bool cancelled() const { return cancelled_; }

 private:
  std::ifstream& in_;
  std::uint64_t size_;
  const std::atomic<bool>* cancel_;
  std::vector<unsigned char> buffer_;
  std::uint64_t base_ = 0;  // file offset of buffer_[0]
  std::size_t filled_ = 0;
  bool cancelled_ = false;
};

// The rolling search over the windows that start in one stretch of the local file. Searches of
// different stretches share the index and its table, and may run at once.
class Search {
 public:
  Search(const BlockIndex& index, const WeakTable& table, std::vector<std::uint64_t>& offsets)
      : index_(index),
        table_(table),
        offsets_(offsets),
        blockSize_(index.blockSize),
        fullBlocks_(static_cast<std::size_t>(index.size / index.blockSize)) {}

  bool run(const fs::path& local, std::uint64_t size, std::uint64_t begin, std::uint64_t end,
           const std::atomic<bool>* cancel, std::string& error) {
    std::ifstream in(local, std::ios::binary);
    if (!in) {
      error = "cannot read";
      return false;
    }
    Window window(in, size, blockSize_ + 1, cancel);
    const std::uint64_t refuteLimit = 2 * ((end - begin) / blockSize_) + 64;
    std::uint64_t refuted = 0;
    std::uint64_t pos = begin;
    bool fresh = true;                // the weak checksum must be computed anew at pos
    std::size_t expected = kNoBlock;  // the block that follows the one just found
    WeakChecksum weak;
    while (pos < end && pos + blockSize_ <= size) {
      const bool more = pos + blockSize_ < size;
      if (!window.need(pos, blockSize_ + (more ? 1 : 0))) {
        error = window.cancelled() ? "cancelled" : "cannot read";
        return false;
      }
      const unsigned char* data = window.at(pos);
      std::optional<StrongHash> strong;
      std::size_t found = kNoBlock;
      // In an unchanged stretch the next block follows the last one: one strong hash confirms
      // it without a weak checksum.
      if (expected < fullBlocks_) {
        strong = strongHash(data, blockSize_);
        if (*strong == index_.blocks[expected].strong) {
          found = mark(index_.blocks[expected].weak, *strong, pos);
        }
      }
      if (found == kNoBlock) {
        if (fresh) weak.reset(data, blockSize_);
        fresh = false;
        const std::uint32_t value = weak.value();
        if (table_.mayHold(value) && table_.holds(value)) {
          if (!strong) strong = strongHash(data, blockSize_);
          found = mark(value, *strong, pos);
          if (found == kNoBlock && ++refuted > refuteLimit) {
            error = "too many false matches";
            return false;
          }
        }
      }
      if (found != kNoBlock) {
        expected = found + 1;
        pos += blockSize_;
        fresh = true;
        continue;
      }
      expected = kNoBlock;
      if (!more) break;
      weak.roll(data[0], data[blockSize_]);
      ++pos;
    }
    return true;
  }

 private:
  // Records `pos` for every block not yet found whose checksums are these; the first block
  // (found before or now) that holds these bytes, or kNoBlock.
  std::size_t mark(std::uint32_t weak, const StrongHash& strong, std::uint64_t pos) {
    std::size_t first = kNoBlock;
    table_.forEach(weak, [&](std::uint32_t block) {
      if (index_.blocks[block].strong != strong) return;
      if (first == kNoBlock) first = block;
      if (offsets_[block] == kBlockNotFound) offsets_[block] = pos;
    });
    return first;
  }

  const BlockIndex& index_;
  const WeakTable& table_;
  std::vector<std::uint64_t>& offsets_;
  std::size_t blockSize_;
  std::size_t fullBlocks_;
};

// The short last block, at the places a changed file most likely keeps it.
bool findShortLast(const fs::path& local, std::uint64_t size, const BlockIndex& index,
                   std::vector<std::uint64_t>& offsets, std::string& error) {
  if (index.blocks.empty()) return true;
  const std::size_t last = index.blocks.size() - 1;
  const std::size_t length = index.blockLength(last);
  if (length == index.blockSize) return true;
  std::vector<std::uint64_t> places = {std::uint64_t{last} * index.blockSize};
  if (last > 0 && offsets[last - 1] != kBlockNotFound) {
    places.push_back(offsets[last - 1] + index.blockSize);
  }
  if (size >= length) places.push_back(size - length);
  std::ifstream in(local, std::ios::binary);
  std::vector<unsigned char> data(length);
  for (const std::uint64_t place : places) {
    if (place + length > size) continue;
    in.clear();
    in.seekg(static_cast<std::streamoff>(place));
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(length));
    if (static_cast<std::size_t>(in.gcount()) != length) {
      error = "cannot read";
      return false;
    }
    if (strongHash(data.data(), length) == index.blocks[last].strong) {
      offsets[last] = place;
      return true;
    }
  }
  return true;
}

}  // namespace

bool findLocalBlocks(const fs::path& local, const BlockIndex& index,
                     const std::atomic<bool>* cancel, std::vector<std::uint64_t>& offsets,
                     std::string& error) {
  offsets.assign(index.blocks.size(), kBlockNotFound);
  std::error_code ec;
  const std::uint64_t size = fs::file_size(local, ec);
  if (ec) {
    error = "cannot read " + pathToUtf8(local);
    return false;
  }
  const std::size_t fullBlocks = static_cast<std::size_t>(index.size / index.blockSize);
  const WeakTable table(index, fullBlocks);
  Search first(index, table, offsets);
  bool ok = true;
  if (fullBlocks > 0 && size >= kSplitSize) {
    // Two halves on two threads: the strong hashes are most of the work, and a second core
    // halves them. The halves meet at a block boundary, where an unchanged file's blocks are.
    const std::uint64_t middle = size / 2 / index.blockSize * index.blockSize;
    std::vector<std::uint64_t> later(index.blocks.size(), kBlockNotFound);
    Search second(index, table, later);
    std::string laterError;
    bool laterOk = true;
    const auto searchLater = [&] {
      laterOk = second.run(local, size, middle, size, cancel, laterError);
    };
    std::thread helper;
    try {
      helper = std::thread(searchLater);
    } catch (const std::system_error&) {
      searchLater();  // no thread to be had: one after the other
    }
    ok = first.run(local, size, 0, middle, cancel, error);
    if (helper.joinable()) helper.join();
    if (ok && !laterOk) {
      ok = false;
      error = laterError;
    }
    // The earlier half's find wins, so the plan is the same on every run.
    for (std::size_t i = 0; i < offsets.size(); ++i) {
      if (offsets[i] == kBlockNotFound) offsets[i] = later[i];
    }
  } else if (fullBlocks > 0) {
    ok = first.run(local, size, 0, size, cancel, error);
  }
  if (!ok || !findShortLast(local, size, index, offsets, error)) {
    if (error == "cannot read") error += " " + pathToUtf8(local);
    return false;
  }
  return true;
}

}  // namespace tu
