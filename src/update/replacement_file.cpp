#include "update/replacement_file.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "core/files.h"
#include "update/paths.h"

namespace tu {

namespace fs = std::filesystem;

// Writes blocks on a thread of its own, so that copying one block into the file overlaps
// making and hashing the next: on a machine with a second core the write costs almost no time.
// One block is in flight at a time; its storage is traded, never copied. Without a thread (none
// could be started) it writes in place.
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

ReplacementFile::ReplacementFile(fs::path target)
    : target_(std::move(target)), temporary_(withSuffix(target_, ".tznew")) {}

ReplacementFile::~ReplacementFile() {
  writer_.reset();
  if (opened_ && !kept_) {
    out_.close();
    std::error_code ec;
    fs::remove(temporary_, ec);
  }
}

bool ReplacementFile::open(bool overlapWrites, std::string& error) {
  std::error_code ec;
  if (target_.has_parent_path()) fs::create_directories(target_.parent_path(), ec);
  // Beside the target, so that the final rename stays on one volume.
  out_.open(temporary_, std::ios::binary | std::ios::trunc);
  if (!out_) {
    error = "cannot write " + pathToUtf8(temporary_) + " (file in use or no permission?)";
    return false;
  }
  opened_ = true;
  if (overlapWrites) writer_ = std::make_unique<BlockWriter>(out_);
  return true;
}

bool ReplacementFile::write(std::vector<unsigned char>& block, std::size_t size,
                            std::string& error) {
  hasher_.update(block.data(), size);
  bool written = false;
  if (writer_) {
    written = writer_->write(block, size);
  } else {
    out_.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(size));
    written = static_cast<bool>(out_);
  }
  if (!written) error = "write failed (disk full?)";
  return written;
}

bool ReplacementFile::finish(const std::string& sha256, std::string& error) {
  const bool written = !writer_ || writer_->finish();
  writer_.reset();
  // A failed final flush means the data may not all be on disk.
  out_.close();
  if (!written || !out_) {
    error = "write failed (disk full?)";
    return false;
  }
  std::uint8_t digest[Sha256::kDigestSize];
  hasher_.final(digest);
  if (hexEncode(digest, sizeof digest) != toLowerAscii(sha256)) {
    error = "checksum mismatch after download";
    return false;
  }
  kept_ = true;
  return true;
}

bool ReplacementFile::commit(const std::string& sha256, std::string& error) {
  if (!finish(sha256, error) || !placeReplacement(target_, error)) return false;
  flushFolder(target_.parent_path());
  return true;
}

bool placeReplacement(const fs::path& target, std::string& error) {
  const fs::path temporary = withSuffix(target, ".tznew");
  std::error_code ec;
  // The data reaches the disk before its name does: a power cut after the rename must not
  // leave a file of the right size and time but no content, which the hash cache would trust.
  if (!flushToDisk(temporary)) {
    fs::remove(temporary, ec);
    error = "write failed (disk full?)";
    return false;
  }
  // The player's file is never deleted to make room: if it cannot be replaced (the running
  // game holds it), it stays as it is.
  if (!moveIntoPlace(temporary, target)) {
    fs::remove(temporary, ec);
    error = "cannot replace " + pathToUtf8(target) + " (is the game running?)";
    return false;
  }
  return true;
}

}  // namespace tu
