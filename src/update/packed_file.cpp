#include "update/packed_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>

#include "core/files.h"
#include "update/block_unpacker.h"
#include "update/little_endian.h"
#include "update/replacement_file.h"
#include "update/worker_threads.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

// Grows a buffer to at least `size` bytes; never shrinks, so one allocation serves every block
// of the same size.
unsigned char* room(std::vector<unsigned char>& buffer, std::size_t size) {
  if (buffer.size() < size) buffer.resize(size);
  return buffer.data();
}

}  // namespace

std::uint32_t packedStoredLengthLimit(std::uint32_t blockSize) {
  const std::uint32_t n = blockSize;
  const std::uint32_t a = n * 110u / 100u + 128u;
  const std::uint32_t b = n + 5u * (n / 31744u + 1u) + 128u;
  return std::max(a, b) + 64u;
}

std::uint64_t packedBlockCount(std::uint64_t size, std::uint32_t blockSize) {
  return size / blockSize + (size % blockSize != 0 ? 1 : 0);
}

bool PackedReader::open(std::istream& in, std::uint64_t expectedSize, std::string& error) {
  in_ = &in;
  count_ = 0;
  index_ = 0;
  windowStart_ = 0;
  window_.clear();

  const std::streamoff start = in.tellg();
  unsigned char header[kPackedHeaderSize];
  in.read(reinterpret_cast<char*>(header), sizeof header);
  if (start < 0 || static_cast<std::size_t>(in.gcount()) != sizeof header ||
      std::memcmp(header, kPackedMagic, sizeof kPackedMagic) != 0) {
    error = "not a packed file";
    return false;
  }
  size_ = readLe64(header + 4);
  blockSize_ = readLe32(header + 12);
  const std::uint32_t count = readLe32(header + 16);
  if (size_ != expectedSize || blockSize_ < 1 || blockSize_ > kPackedMaxBlockSize ||
      count != packedBlockCount(size_, blockSize_)) {
    error = "packed file header does not match the manifest";
    return false;
  }
  count_ = count;

  // With small blocks the table can be several times the size of the file; it is read a
  // window at a time as the blocks go by (readTableWindow), so that memory stays the same
  // whatever the header says. Here only its presence is checked.
  tableStart_ = start + static_cast<std::streamoff>(kPackedHeaderSize);
  blockOffset_ = tableStart_ + static_cast<std::streamoff>(count_ * 4);
  in.seekg(0, std::ios::end);
  if (!in || in.tellg() < blockOffset_) {
    error = "packed file is truncated";
    return false;
  }
  return true;
}

bool PackedReader::readTableWindow(std::string& error) {
  const auto words = static_cast<std::size_t>(std::min(kTableWindowWords, count_ - index_));
  window_.resize(words * 4);
  in_->seekg(tableStart_ + static_cast<std::streamoff>(index_ * 4));
  in_->read(reinterpret_cast<char*>(window_.data()), static_cast<std::streamsize>(words * 4));
  const bool complete = static_cast<std::size_t>(in_->gcount()) == words * 4;
  in_->seekg(blockOffset_);
  if (!complete || !*in_) {
    error = "packed file is truncated";
    return false;
  }
  windowStart_ = index_;
  return true;
}

bool PackedReader::read(PackedBlock& block, std::string& error) {
  error.clear();
  if (in_ == nullptr || index_ >= count_) return false;
  if (index_ - windowStart_ >= window_.size() / 4 && !readTableWindow(error)) return false;

  const std::uint32_t word = readLe32(window_.data() + (index_ - windowStart_) * 4);
  const std::uint32_t stored = word & kPackedLengthMask;
  const std::uint64_t start = index_ * blockSize_;
  block.word = word;
  block.expected = static_cast<std::size_t>(std::min<std::uint64_t>(blockSize_, size_ - start));

  // The bound keeps a hostile table from making us allocate or read gigabytes for one block.
  if (stored > packedStoredLengthLimit(blockSize_)) {
    error = "packed file is damaged";
    return false;
  }
  unsigned char* input = room(block.stored, stored);
  in_->read(reinterpret_cast<char*>(input), stored);
  if (static_cast<std::uint32_t>(in_->gcount()) != stored) {
    error = "packed file is truncated";
    return false;
  }
  blockOffset_ += stored;
  if (block.raw() && stored != block.expected) {
    error = "packed file is damaged";
    return false;
  }
  ++index_;
  return true;
}

bool decodePackedBlock(PackedBlock& block) {
  return block.raw() ||
         inflateBlock(block.stored.data(), block.word & kPackedLengthMask, block.expected,
                      block.output);
}

bool PackedReader::next(const unsigned char*& data, std::size_t& size, std::string& error) {
  if (!read(block_, error)) return false;
  if (!decodePackedBlock(block_)) {
    error = "packed file is damaged";
    return false;
  }
  data = block_.unpacked().data();
  size = block_.expected;
  return true;
}

bool unpackPackedFile(const fs::path& packed, const fs::path& target, std::uint64_t size,
                      const std::string& sha256, const std::atomic<bool>* cancel,
                      std::string& error) {
  std::ifstream in(packed, std::ios::binary);
  if (!in) {
    error = "cannot open downloaded file";
    return false;
  }
  PackedReader reader;
  if (!reader.open(in, size, error)) return false;

  const UnpackShape shape =
      unpackShape(reader.blockSize(), reader.blockCount(), coreThreads(kMostInflaters));
  std::optional<WorkerThreads> inflaters;
  if (shape.inflaters > 0) inflaters.emplace(shape.inflaters);
  ReplacementFile file(target);
  return file.open(shape.writerThread, error) &&
         unpackBlocks(reader, file, inflaters ? &*inflaters : nullptr, shape.blocksInFlight,
                      cancel, error) &&
         file.finish(sha256, error);
}

bool installPackedFile(const fs::path& packed, const fs::path& target, std::uint64_t size,
                       const std::string& sha256, const std::atomic<bool>* cancel,
                       std::string& error) {
  if (!unpackPackedFile(packed, target, size, sha256, cancel, error) ||
      !placeReplacement(target, error)) {
    return false;
  }
  flushFolder(target.parent_path());
  return true;
}

}  // namespace tu
