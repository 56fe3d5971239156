// Hashing and writing the blocks of a packed file in order while later blocks inflate on other
// threads. How many blocks are in flight follows from the block size, so that memory stays
// within kUnpackMemoryBudget whether the file has 64 KiB blocks or 16 MiB ones.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tu {

class PackedReader;
class ReplacementFile;
class WorkerThreads;

// Inflating is the slow part of an install; more threads than this gain little once hashing,
// which stays on one thread, is the limit.
inline constexpr std::size_t kMostInflaters = 4;

// The most memory the block buffers of one unpack may take: every block in flight holds its
// stored bytes and its output, and the file's writer thread one more block. The rest of
// tarn-update (libcurl, TLS, the manifest) takes up to about 20 MiB, and the whole must stay
// within 64 MiB.
inline constexpr std::uint64_t kUnpackMemoryBudget = 40 * 1048576ull;

struct UnpackShape {
  bool writerThread = false;       // ReplacementFile writes on a thread of its own
  std::size_t inflaters = 0;       // threads to inflate on; 0: on the caller's thread
  std::size_t blocksInFlight = 1;  // read ahead of the block being written
};

// The shape for a file of `blockCount` blocks of `blockSize` bytes on a machine where
// `threads` inflating threads are worth starting.
UnpackShape unpackShape(std::uint32_t blockSize, std::uint64_t blockCount, std::size_t threads);

// Reads every block of `reader`, inflates it (on `inflaters` when not null, up to
// `blocksInFlight` blocks ahead) and hands the blocks in order to `file`. Failures are those of
// the same blocks taken one by one, in the same order: the texts of PackedReader::read, "packed
// file is damaged", "cancelled" (`cancel` is checked between blocks and may be null), and those
// of ReplacementFile::write. Returns only once no thread touches the blocks any more.
bool unpackBlocks(PackedReader& reader, ReplacementFile& file, WorkerThreads* inflaters,
                  std::size_t blocksInFlight, const std::atomic<bool>* cancel, std::string& error);

}  // namespace tu
