// Scalars modulo the group order L = 2^252 + 27742317777372353535851937790883648493, as 32-byte
// little-endian numbers. reduce and mulAdd are constant time (the signer passes secrets).
#pragma once

#include <cstdint>

namespace tu::ed25519_internal {

// out = in mod L, for a 64-byte number (a SHA-512 digest).
void scalarReduce(std::uint8_t out[32], const std::uint8_t in[64]);

// out = (a * b + c) mod L.
void scalarMulAdd(std::uint8_t out[32], const std::uint8_t a[32], const std::uint8_t b[32],
                  const std::uint8_t c[32]);

// Signed digits of a number below 2^253: s = sum of digits[i] * 2^i, every nonzero digit odd,
// at most maxDigit in magnitude, and followed by enough zeros that additions stay sparse.
// Variable time: for public scalars only.
void slidingWindow(std::int8_t digits[256], const std::uint8_t s[32], int maxDigit);

}  // namespace tu::ed25519_internal
