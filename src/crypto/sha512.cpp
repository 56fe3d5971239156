#include "crypto/sha512.h"

#include <cstring>

#include "crypto/sha512_internal.h"

namespace tu {
namespace {

constexpr std::uint64_t kInitialState[8] = {
    0x6a09e667f3bcc908ULL, 0xbb67ae8584caa73bULL, 0x3c6ef372fe94f82bULL, 0xa54ff53a5f1d36f1ULL,
    0x510e527fade682d1ULL, 0x9b05688c2b3e6c1fULL, 0x1f83d9abfb41bd6bULL, 0x5be0cd19137e2179ULL};

}  // namespace

Sha512BlockFunction sha512SelectedBlockFunction() {
  static const Sha512BlockFunction selected =
      sha512Avx2Available() ? sha512BlocksAvx2 : sha512BlocksPortable;
  return selected;
}

Sha512::Sha512() : Sha512(sha512SelectedBlockFunction()) {}

Sha512::Sha512(BlockFunction blocks) : blocks_(blocks) {
  reset();
}

void Sha512::reset() {
  std::memcpy(state_, kInitialState, sizeof state_);
  length_ = 0;
  buffered_ = 0;
}

void Sha512::update(const void* data, std::size_t size) {
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

void Sha512::final(std::uint8_t digest[kDigestSize]) {
  // A 1 bit, zeros up to 112 mod 128, then the 128-bit big-endian bit length; the byte count
  // is 64 bits, so the top 61 bits of that field are zero.
  const std::uint64_t bytes = length_;
  std::uint8_t pad[kBlockSize * 2] = {0x80};
  const std::size_t padSize = (buffered_ < 112 ? 112 : 240) - buffered_;
  pad[padSize + 7] = static_cast<std::uint8_t>(bytes >> 61);
  for (int i = 0; i < 8; ++i) {
    pad[padSize + 8 + i] = static_cast<std::uint8_t>((bytes << 3) >> (56 - 8 * i));
  }
  update(pad, padSize + 16);
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 8; ++j) {
      digest[8 * i + j] = static_cast<std::uint8_t>(state_[i] >> (56 - 8 * j));
    }
  }
  reset();
}

}  // namespace tu
