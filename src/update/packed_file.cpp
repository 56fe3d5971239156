#include "update/packed_file.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "core/files.h"
#include "crypto/sha256.h"
#include "update/paths.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

std::uint32_t readLe32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t readLe64(const unsigned char* p) {
  return static_cast<std::uint64_t>(readLe32(p)) | static_cast<std::uint64_t>(readLe32(p + 4))
                                                       << 32;
}

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

bool PackedReader::open(std::istream& in, std::uint64_t expectedSize, std::string& err) {
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
    err = "not a packed file";
    return false;
  }
  size_ = readLe64(header + 4);
  blockSize_ = readLe32(header + 12);
  const std::uint32_t count = readLe32(header + 16);
  if (size_ != expectedSize || blockSize_ < 1 || blockSize_ > kPackedMaxBlockSize ||
      count != packedBlockCount(size_, blockSize_)) {
    err = "packed file header does not match the manifest";
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
    err = "packed file is truncated";
    return false;
  }
  return true;
}

bool PackedReader::readTableWindow(std::string& err) {
  const auto words = static_cast<std::size_t>(std::min(kTableWindowWords, count_ - index_));
  window_.resize(words * 4);
  in_->seekg(tableStart_ + static_cast<std::streamoff>(index_ * 4));
  in_->read(reinterpret_cast<char*>(window_.data()), static_cast<std::streamsize>(words * 4));
  const bool complete = static_cast<std::size_t>(in_->gcount()) == words * 4;
  in_->seekg(blockOffset_);
  if (!complete || !*in_) {
    err = "packed file is truncated";
    return false;
  }
  windowStart_ = index_;
  return true;
}

bool PackedReader::next(const unsigned char*& data, std::size_t& size, std::string& err) {
  err.clear();
  if (in_ == nullptr || index_ >= count_) return false;
  if (index_ - windowStart_ >= window_.size() / 4 && !readTableWindow(err)) return false;

  const std::uint32_t word = readLe32(window_.data() + (index_ - windowStart_) * 4);
  const bool raw = (word & kPackedRawFlag) != 0;
  const std::uint32_t stored = word & kPackedLengthMask;
  const std::uint64_t start = index_ * blockSize_;
  const auto expected =
      static_cast<std::size_t>(std::min<std::uint64_t>(blockSize_, size_ - start));

  // The bound keeps a hostile table from making us allocate or read gigabytes for one block.
  if (stored > packedStoredLengthLimit(blockSize_)) {
    err = "packed file is damaged";
    return false;
  }
  unsigned char* input = room(stored_, stored);
  in_->read(reinterpret_cast<char*>(input), stored);
  if (static_cast<std::uint32_t>(in_->gcount()) != stored) {
    err = "packed file is truncated";
    return false;
  }
  blockOffset_ += stored;

  if (raw) {
    if (stored != expected) {
      err = "packed file is damaged";
      return false;
    }
    data = input;
    lastRaw_ = true;
  } else {
    // One-shot inflate into exactly the expected room: a stream that is cut short, corrupt,
    // fails its Adler-32 or wants more room fails here.
    unsigned char* output = room(output_, expected);
    uLongf produced = static_cast<uLongf>(expected);
    const int result = uncompress(output, &produced, input, static_cast<uLong>(stored));
    if (result != Z_OK || produced != expected) {
      err = "packed file is damaged";
      return false;
    }
    data = output;
    lastRaw_ = false;
  }
  size = expected;
  ++index_;
  return true;
}

void PackedReader::exchangeBlock(std::vector<unsigned char>& other) {
  (lastRaw_ ? stored_ : output_).swap(other);
}

namespace {

// Writes the unpacked blocks on a thread of its own, so that copying one block into the file
// overlaps inflating and hashing the next: on a machine with a second core the write costs
// almost no time. One block is in flight at a time; its storage is traded, never copied.
// Without a thread (none could be started) it writes in place.
class BlockWriter {
 public:
  explicit BlockWriter(std::ofstream& out) : out_(out) {
    try {
      thread_ = std::thread(&BlockWriter::run, this);
    } catch (const std::system_error&) {
      // Written by the caller's thread instead.
    }
  }
  ~BlockWriter() { finish(); }
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  // Hands over the first `size` bytes of `block`; `block` gets back storage of an earlier
  // block whose write is done. False once any write has failed.
  bool write(std::vector<unsigned char>& block, std::size_t size) {
    if (!thread_.joinable()) {
      failed_ = failed_ || !writeNow(block.data(), size);
      return !failed_;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    if (failed_) return false;
    pending_.swap(block);
    pendingSize_ = size;
    busy_ = true;
    changed_.notify_all();
    return true;
  }

  // Waits for the last write and ends the thread; false when any write failed.
  bool finish() {
    if (thread_.joinable()) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
      }
      changed_.notify_all();
      thread_.join();
    }
    return !failed_;
  }

 private:
  bool writeNow(const unsigned char* data, std::size_t size) {
    out_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out_);
  }

  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return busy_ || stopping_; });
      if (!busy_) return;  // stopping with nothing left to write
      lock.unlock();
      const bool ok = writeNow(pending_.data(), pendingSize_);
      lock.lock();
      if (!ok) failed_ = true;
      busy_ = false;
      changed_.notify_all();
    }
  }

  std::ofstream& out_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<unsigned char> pending_;  // the block being written; the thread's while busy_
  std::size_t pendingSize_ = 0;
  bool busy_ = false;
  bool stopping_ = false;
  bool failed_ = false;
};

// The part of the install that writes the temporary; the caller deletes it on failure.
bool unpackInto(PackedReader& reader, std::ofstream& out, const std::string& sha256,
                std::string& err, const std::atomic<bool>* cancel) {
  Sha256 hasher;
  {
    // A file of one block gains nothing from a second thread.
    std::optional<BlockWriter> writer;
    if (reader.blockCount() > 1) writer.emplace(out);
    std::vector<unsigned char> handOver;
    for (std::uint64_t i = 0; i < reader.blockCount(); ++i) {
      // Checked between blocks, so a cancel takes effect within one block's work.
      if (cancel != nullptr && cancel->load()) {
        err = "cancelled";
        return false;
      }
      const unsigned char* data = nullptr;
      std::size_t size = 0;
      if (!reader.next(data, size, err)) return false;
      hasher.update(data, size);
      bool written = false;
      if (writer) {
        reader.exchangeBlock(handOver);
        written = writer->write(handOver, size);
      } else {
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        written = static_cast<bool>(out);
      }
      if (!written) {
        err = "write failed (disk full?)";
        return false;
      }
    }
    if (writer && !writer->finish()) {
      err = "write failed (disk full?)";
      return false;
    }
  }
  // A failed final flush means the data may not all be on disk.
  out.close();
  if (!out) {
    err = "write failed (disk full?)";
    return false;
  }
  std::uint8_t digest[Sha256::kDigestSize];
  hasher.final(digest);
  if (hexEncode(digest, sizeof digest) != toLowerAscii(sha256)) {
    err = "checksum mismatch after download";
    return false;
  }
  return true;
}

}  // namespace

bool unpackPackedFile(const fs::path& packed, const fs::path& temporary, std::uint64_t size,
                      const std::string& sha256, std::string& err,
                      const std::atomic<bool>* cancel) {
  std::ifstream in(packed, std::ios::binary);
  if (!in) {
    err = "cannot open downloaded file";
    return false;
  }
  PackedReader reader;
  if (!reader.open(in, size, err)) return false;

  std::error_code ec;
  if (temporary.has_parent_path()) fs::create_directories(temporary.parent_path(), ec);
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out) {
    err = "cannot write " + pathToUtf8(temporary) + " (file in use or no permission?)";
    return false;
  }
  if (!unpackInto(reader, out, sha256, err, cancel)) {
    out.close();
    fs::remove(temporary, ec);
    return false;
  }
  return true;
}

bool placeUnpackedFile(const fs::path& temporary, const fs::path& target, std::string& err) {
  std::error_code ec;
  // The data reaches the disk before its name does: a power cut after the rename must not
  // leave a file of the right size and time but no content, which the hash cache would trust.
  if (!flushToDisk(temporary)) {
    fs::remove(temporary, ec);
    err = "write failed (disk full?)";
    return false;
  }
  // The player's file is never deleted to make room: if it cannot be replaced (the running
  // game holds it), it stays as it is.
  if (!moveIntoPlace(temporary, target)) {
    fs::remove(temporary, ec);
    err = "cannot replace " + pathToUtf8(target) + " (is the game running?)";
    return false;
  }
  return true;
}

bool installPackedFile(const fs::path& packed, const fs::path& target, std::uint64_t size,
                       const std::string& sha256, std::string& err,
                       const std::atomic<bool>* cancel) {
  // Unpacked beside the target, so that the rename stays on one volume and the target changes
  // in one step.
  const fs::path temporary = withSuffix(target, ".tznew");
  if (!unpackPackedFile(packed, temporary, size, sha256, err, cancel) ||
      !placeUnpackedFile(temporary, target, err)) {
    return false;
  }
  flushFolder(target.parent_path());
  return true;
}

}  // namespace tu
