// SHA-512 (FIPS 180-4) as an incremental hasher; used inside Ed25519. Two block functions: a
// portable one and, on x86 processors with AVX2 and BMI2, one that computes the message
// schedule of two blocks at once in vector registers; chosen once at run time from CPUID.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tu {

class Sha512 {
 public:
  static constexpr std::size_t kDigestSize = 64;
  static constexpr std::size_t kBlockSize = 128;

  Sha512();
  void update(const void* data, std::size_t size);
  // Pads, writes the 64-byte digest and returns to the initial state.
  void final(std::uint8_t digest[kDigestSize]);

 private:
  friend class Sha512Paths;  // tests pick the block function (sha512_internal.h)
  using BlockFunction = void (*)(std::uint64_t*, const std::uint8_t*, std::size_t);
  explicit Sha512(BlockFunction blocks);
  void reset();

  BlockFunction blocks_;
  std::uint64_t state_[8];
  std::uint64_t length_ = 0;  // bytes absorbed
  std::uint8_t buffer_[kBlockSize];
  std::size_t buffered_ = 0;
};

}  // namespace tu
