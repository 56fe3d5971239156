#include "update/block_unpacker.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "update/packed_file.h"
#include "update/replacement_file.h"
#include "update/worker_threads.h"

namespace tu {

namespace {

// Below this a block inflates faster than it can be handed to another thread.
constexpr std::uint32_t kSmallestSharedBlock = 65536;

bool cancelled(const std::atomic<bool>* cancel, std::string& error) {
  if (cancel == nullptr || !cancel->load()) return false;
  error = "cancelled";
  return true;
}

bool unpackOnThisThread(PackedReader& reader, ReplacementFile& file,
                        const std::atomic<bool>* cancel, std::string& error) {
  PackedBlock block;
  for (std::uint64_t i = 0; i < reader.blockCount(); ++i) {
    if (cancelled(cancel, error) || !reader.read(block, error)) return false;
    if (!decodePackedBlock(block)) {
      error = "packed file is damaged";
      return false;
    }
    if (!file.write(block.unpacked(), block.expected, error)) return false;
  }
  return true;
}

// A ring of blocks: the reader fills them ahead, the inflaters decode them, and the caller's
// thread takes them in order. `decoded` and `good` belong to the thread holding `mutex`.
class BlockRing {
 public:
  explicit BlockRing(std::size_t size) : slots_(size) {}

  // Waits for every posted inflate, so that the slots outlive the jobs that use them.
  ~BlockRing() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return posted_ == 0; });
  }

  std::size_t size() const { return slots_.size(); }
  PackedBlock& block(std::uint64_t index) { return slot(index).block; }

  // Starts decoding block `index`: raw blocks need nothing, compressed ones go to `inflaters`.
  void decode(std::uint64_t index, WorkerThreads& inflaters) {
    Slot& s = slot(index);
    if (s.block.raw()) {
      std::lock_guard<std::mutex> lock(mutex_);
      s.decoded = true;
      s.good = true;
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      s.decoded = false;
      ++posted_;
    }
    inflaters.post([this, &s] {
      const bool good = decodePackedBlock(s.block);
      std::lock_guard<std::mutex> lock(mutex_);
      s.good = good;
      s.decoded = true;
      --posted_;
      changed_.notify_all();
    });
  }

  // Waits until block `index` is decoded; false when its data is damaged.
  bool awaitDecoded(std::uint64_t index) {
    Slot& s = slot(index);
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&s] { return s.decoded; });
    return s.good;
  }

 private:
  struct Slot {
    PackedBlock block;
    bool decoded = false;
    bool good = false;
  };
  Slot& slot(std::uint64_t index) { return slots_[index % slots_.size()]; }

  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t posted_ = 0;
};

}  // namespace

UnpackShape unpackShape(std::uint32_t blockSize, std::uint64_t blockCount, std::size_t threads) {
  UnpackShape shape;
  // A file of one block gains nothing from a second thread.
  if (blockCount < 2) return shape;
  // Buffers trade places (a raw block's stored bytes go to the writer), so each may grow to
  // the largest stored block.
  const std::uint64_t buffers = kUnpackMemoryBudget / packedStoredLengthLimit(blockSize);
  std::uint64_t inFlight = 1;
  if (threads > 0 && blockSize >= kSmallestSharedBlock) {
    // Two blocks per inflater keep each busy while the caller's thread hashes.
    const std::uint64_t useful = std::min<std::uint64_t>(2 * threads, blockCount);
    inFlight = std::max<std::uint64_t>(1, std::min(useful, buffers / 2));
  }
  // Inflating on more threads gains more than writing on a thread of its own, so the writer
  // gets what the blocks in flight leave.
  shape.writerThread = buffers >= 2 * inFlight + 1;
  if (inFlight >= 2) {
    shape.blocksInFlight = static_cast<std::size_t>(inFlight);
    shape.inflaters = std::min<std::size_t>(threads, shape.blocksInFlight);
  }
  return shape;
}

bool unpackBlocks(PackedReader& reader, ReplacementFile& file, WorkerThreads* inflaters,
                  std::size_t blocksInFlight, const std::atomic<bool>* cancel, std::string& error) {
  if (inflaters == nullptr || blocksInFlight < 2) {
    return unpackOnThisThread(reader, file, cancel, error);
  }
  BlockRing ring(blocksInFlight);
  const std::uint64_t count = reader.blockCount();
  std::uint64_t read = 0;
  // A block that cannot be read is reported once the blocks before it are written, as it
  // would be one block at a time.
  std::string readError;
  bool readFailed = false;
  for (std::uint64_t next = 0; next < count; ++next) {
    if (cancelled(cancel, error)) return false;
    while (!readFailed && read < count && read - next < ring.size()) {
      if (!reader.read(ring.block(read), readError)) {
        readFailed = true;
        break;
      }
      ring.decode(read++, *inflaters);
    }
    if (next == read) {
      error = readError;
      return false;
    }
    if (!ring.awaitDecoded(next)) {
      error = "packed file is damaged";
      return false;
    }
    PackedBlock& block = ring.block(next);
    if (!file.write(block.unpacked(), block.expected, error)) return false;
  }
  return true;
}

}  // namespace tu
