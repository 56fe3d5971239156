// SHA-512 (FIPS 180-4) as an incremental hasher; used inside Ed25519.
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
  void reset();
  void compress(const std::uint8_t* data, std::size_t blocks);

  std::uint64_t state_[8];
  std::uint64_t length_ = 0;  // bytes absorbed
  std::uint8_t buffer_[kBlockSize];
  std::size_t buffered_ = 0;
};

}  // namespace tu
