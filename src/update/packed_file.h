// The packed file: how the update server carries one client file. A 20-byte header (magic
// "TZ1\0", unpacked size u64, block size u32, block count u32, all little-endian), a table of
// one u32 per block (bit 31: stored raw; bits 0-30: stored length), then the blocks back to
// back. Each block is either its unpacked bytes or one zlib stream that inflates to exactly
// them. docs/formats.md has the full layout.
//
// unpackPackedFile writes such a file next to its target, hashing while it writes, and
// placeReplacement replaces the target only once every block decoded and the SHA-256 matched.
// Memory use is a few blocks in flight, as many as kUnpackMemoryBudget holds for the block
// size (block_unpacker.h), and a 64 KiB window of the block table, whatever the file's size.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>
#include <vector>

namespace tu {

inline constexpr char kPackedMagic[4] = {'T', 'Z', '1', '\0'};
inline constexpr std::size_t kPackedHeaderSize = 20;
inline constexpr std::uint32_t kPackedMaxBlockSize = 16777216;  // 16 MiB
inline constexpr std::uint32_t kPackedRawFlag = 0x80000000u;
inline constexpr std::uint32_t kPackedLengthMask = 0x7fffffffu;

// The largest stored length a block may have for this block size: deflate's worst-case
// expansion with headroom, max(n*110/100 + 128, n + 5*(n/31744 + 1) + 128) + 64, computed in
// unsigned 32-bit arithmetic. 72,281 for 64 KiB blocks, 18,455,129 for 16 MiB blocks.
std::uint32_t packedStoredLengthLimit(std::uint32_t blockSize);

// ceil(size / blockSize) without overflow; blockSize must not be 0.
std::uint64_t packedBlockCount(std::uint64_t size, std::uint32_t blockSize);

// Inflates one compressed block: a single zlib stream that must fill exactly `expected` bytes at
// the start of `output` (grown as needed, never shrunk). False when the stream is malformed, cut
// short, fails its Adler-32 or holds another length.
bool inflateBlock(const unsigned char* stored, std::uint32_t length, std::size_t expected,
                  std::vector<unsigned char>& output);

// One block of a packed file as PackedReader::read leaves it: its table word and unpacked
// length, its stored bytes, and once decodePackedBlock has run on a compressed one, its
// unpacked bytes. The buffers only grow, so one PackedBlock serves every block of a file.
struct PackedBlock {
  std::uint32_t word = 0;
  std::size_t expected = 0;  // unpacked length
  std::vector<unsigned char> stored;
  std::vector<unsigned char> output;

  bool raw() const { return (word & kPackedRawFlag) != 0; }
  // Where the unpacked bytes are (their first `expected` bytes): a raw block's stored bytes,
  // else the inflated output.
  std::vector<unsigned char>& unpacked() { return raw() ? stored : output; }
};

// Inflates a compressed block into its output; a raw block is already unpacked. False ("packed
// file is damaged") when the stream is malformed or holds another length. Touches nothing but
// `block`, so blocks of one file can be decoded on several threads at once.
bool decodePackedBlock(PackedBlock& block);

// Reads a packed file from a seekable stream block by block, the table a window at a time.
// Used by the installer, and by the fuzzer on bytes in memory.
class PackedReader {
 public:
  // Reads and checks the header and the block table against the expected unpacked size.
  // Failures: "not a packed file", "packed file header does not match the manifest",
  // "packed file is truncated".
  bool open(std::istream& in, std::uint64_t expectedSize, std::string& error);

  // The next block's stored bytes into `block`, checked as far as that can be done without
  // inflating them. False at the end (with `error` empty) or on failure: "packed file is
  // damaged" (a stored length over the bound, a raw block of the wrong length) or "packed file
  // is truncated".
  bool read(PackedBlock& block, std::string& error);

  // The next block read and decoded; `data`/`size` stay valid until the next call. False at
  // the end (with `error` empty) or on failure: the texts of read and decodePackedBlock.
  bool next(const unsigned char*& data, std::size_t& size, std::string& error);

  std::uint32_t blockSize() const { return blockSize_; }
  // The table word of the block next() returned last.
  std::uint32_t lastWord() const { return block_.word; }
  std::uint64_t blockCount() const { return count_; }

 private:
  // Table words read at a time: 64 KiB of table, whatever the file's size.
  static constexpr std::uint64_t kTableWindowWords = 16384;

  // Reads the table words from block index_ on into window_, then returns to the next block.
  bool readTableWindow(std::string& error);

  std::istream* in_ = nullptr;
  std::uint64_t size_ = 0;
  std::uint32_t blockSize_ = 0;
  std::uint64_t count_ = 0;
  std::uint64_t index_ = 0;            // the next block
  std::streamoff tableStart_ = 0;      // where the table lies in the stream
  std::streamoff blockOffset_ = 0;     // where the next block lies
  std::uint64_t windowStart_ = 0;      // the block of window_'s first word
  std::vector<unsigned char> window_;  // table words, little-endian as stored
  PackedBlock block_;                  // next()'s
};

// Unpacks `packed` into the temporary of `target` (ReplacementFile: `target` + ".tznew", made
// anew, missing folders created) and checks the SHA-256 of what it wrote against `sha256`
// (hexadecimal, either case). The temporary is kept for placeReplacement, neither flushed nor
// moved; the target is not touched. Never changes or deletes `packed`. On failure no temporary
// is left; `error` is one of the texts of PackedReader or "cannot open downloaded file",
// "cannot write <temporary> (file in use or no permission?)", "cancelled",
// "write failed (disk full?)", "checksum mismatch after download". `cancel` may be null.
//
// Compressed blocks are inflated on a few threads of its own (unpackShape: one per core, at
// most kMostInflaters) while earlier blocks are hashed and written in order.
bool unpackPackedFile(const std::filesystem::path& packed, const std::filesystem::path& target,
                      std::uint64_t size, const std::string& sha256,
                      const std::atomic<bool>* cancel, std::string& error);

// One whole install: unpackPackedFile, placeReplacement, and a flush of the target's folder.
// The target is untouched on failure; `error` is one of the texts above or of placeReplacement.
bool installPackedFile(const std::filesystem::path& packed, const std::filesystem::path& target,
                       std::uint64_t size, const std::string& sha256,
                       const std::atomic<bool>* cancel, std::string& error);

}  // namespace tu
