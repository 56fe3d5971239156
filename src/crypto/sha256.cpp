#include "crypto/sha256.h"

#include <cstring>

#include "crypto/sha256_internal.h"

namespace tu {
namespace {

constexpr std::uint32_t kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                            0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

}  // namespace

// Chosen once per process: the answer of CPUID does not change while it runs.
Sha256BlockFunction sha256SelectedBlockFunction() {
  static const Sha256BlockFunction selected =
      sha256ShaNiAvailable() ? sha256BlocksShaNi : sha256BlocksPortable;
  return selected;
}

Sha256::Sha256() : Sha256(sha256SelectedBlockFunction()) {}

Sha256::Sha256(BlockFunction blocks) : blocks_(blocks) {
  reset();
}

void Sha256::reset() {
  std::memcpy(state_, kInitialState, sizeof state_);
  length_ = 0;
  buffered_ = 0;
}

void Sha256::update(const void* data, std::size_t size) {
  if (size == 0) return;  // data may then be null
  const auto* in = static_cast<const std::uint8_t*>(data);
  length_ += size;
  if (buffered_ > 0) {
    const std::size_t take = size < kBlockSize - buffered_ ? size : kBlockSize - buffered_;
    std::memcpy(buffer_ + buffered_, in, take);
    buffered_ += take;
    in += take;
    size -= take;
    if (buffered_ < kBlockSize) return;
    blocks_(state_, buffer_, 1);
    buffered_ = 0;
  }
  // Whole blocks straight from the caller's memory, without copying.
  const std::size_t whole = size / kBlockSize;
  if (whole > 0) {
    blocks_(state_, in, whole);
    in += whole * kBlockSize;
    size -= whole * kBlockSize;
  }
  if (size > 0) {
    std::memcpy(buffer_, in, size);
    buffered_ = size;
  }
}

void Sha256::final(std::uint8_t digest[kDigestSize]) {
  const std::uint64_t bits = length_ * 8;
  // A single 1 bit, zeros up to 56 mod 64, then the length in bits, big-endian.
  std::uint8_t pad[kBlockSize * 2] = {0x80};
  const std::size_t padSize = (buffered_ < 56 ? 56 : 120) - buffered_;
  for (int i = 0; i < 8; ++i) pad[padSize + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  update(pad, padSize + 8);
  for (int i = 0; i < 8; ++i) {
    digest[4 * i] = static_cast<std::uint8_t>(state_[i] >> 24);
    digest[4 * i + 1] = static_cast<std::uint8_t>(state_[i] >> 16);
    digest[4 * i + 2] = static_cast<std::uint8_t>(state_[i] >> 8);
    digest[4 * i + 3] = static_cast<std::uint8_t>(state_[i]);
  }
  reset();
}

}  // namespace tu
