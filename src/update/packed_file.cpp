#include "update/packed_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>

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
  table_.clear();
  index_ = 0;

  unsigned char header[kPackedHeaderSize];
  in.read(reinterpret_cast<char*>(header), sizeof header);
  if (static_cast<std::size_t>(in.gcount()) != sizeof header ||
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

  // Read the table in slices, so that memory grows only with bytes that are really there.
  unsigned char slice[65536];
  std::uint64_t remaining = static_cast<std::uint64_t>(count) * 4;
  while (remaining > 0) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(remaining, sizeof slice));
    in.read(reinterpret_cast<char*>(slice), static_cast<std::streamsize>(want));
    if (static_cast<std::size_t>(in.gcount()) != want) {
      err = "packed file is truncated";
      return false;
    }
    for (std::size_t i = 0; i < want; i += 4) table_.push_back(readLe32(slice + i));
    remaining -= want;
  }
  return true;
}

bool PackedReader::next(const unsigned char*& data, std::size_t& size, std::string& err) {
  err.clear();
  if (in_ == nullptr || index_ >= table_.size()) return false;

  const std::uint32_t word = table_[index_];
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

  if (raw) {
    if (stored != expected) {
      err = "packed file is damaged";
      return false;
    }
    data = input;
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
  }
  size = expected;
  ++index_;
  return true;
}

namespace {

// The part of the install that writes the temporary; the caller deletes it on failure.
bool unpackInto(PackedReader& reader, std::ofstream& out, const std::string& sha256,
                std::string& err, const std::atomic<bool>* cancel) {
  Sha256 hasher;
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
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) {
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

bool installPackedFile(const fs::path& packed, const fs::path& target, std::uint64_t size,
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
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);

  // Unpack beside the target so that the final rename stays on one volume and the target
  // changes in one step.
  const fs::path temporary = withSuffix(target, ".tznew");
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

  if (replaceFile(temporary, target) != 0) {
    // A read-only target refuses the rename on Windows; a running game keeps it locked, and
    // then this second try fails as well.
    makeWritable(target);
    fs::remove(target, ec);
    if (replaceFile(temporary, target) != 0) {
      fs::remove(temporary, ec);
      err = "cannot replace " + pathToUtf8(target) + " (is the game running?)";
      return false;
    }
  }
  return true;
}

}  // namespace tu
