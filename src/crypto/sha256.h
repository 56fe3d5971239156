// SHA-256 (FIPS 180-4) as an incremental hasher. Two block functions: a portable one and one
// using the x86 SHA extensions, chosen once at run time from CPUID.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tu {

class Sha256 {
 public:
  static constexpr std::size_t kDigestSize = 32;
  static constexpr std::size_t kBlockSize = 64;

  Sha256();
  // Absorbs any number of bytes, in chunks of any size (zero included).
  void update(const void* data, std::size_t size);
  // Pads, writes the 32-byte digest and returns to the initial state for the next input.
  void final(std::uint8_t digest[kDigestSize]);

 private:
  friend class Sha256Paths;  // tests pick the block function (sha256_internal.h)
  using BlockFunction = void (*)(std::uint32_t*, const std::uint8_t*, std::size_t);
  explicit Sha256(BlockFunction blocks);
  void reset();

  BlockFunction blocks_;
  std::uint32_t state_[8];
  std::uint64_t length_ = 0;  // bytes absorbed
  std::uint8_t buffer_[kBlockSize];
  std::size_t buffered_ = 0;
};

}  // namespace tu
