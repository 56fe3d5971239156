#include "crypto/scalar.h"

namespace tu::ed25519_internal {
namespace {

// L in bytes: its low 16 bytes, then zeros, then 2^252 as 0x10 in byte 31.
constexpr std::int64_t kL[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                 0xa2, 0xde, 0xf9, 0xde, 0x14, 0,    0,    0,    0,    0,    0,
                                 0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10};

// Reduces a number given as 64 signed byte-sized digits (any magnitude below 2^50) modulo L.
// Every step is arithmetic on all digits; nothing depends on their values.
void reduceDigits(std::uint8_t out[32], std::int64_t x[64]) {
  // Fold digits 63..32 down: 2^256 = 16 * 2^252 = -16 * (L - 2^252) (mod L), and L - 2^252
  // has only 16 bytes, so digit i lands on digits i-32 .. i-17 (carries run three further).
  for (int i = 63; i >= 32; --i) {
    std::int64_t carry = 0;
    int j = i - 32;
    for (; j < i - 12; ++j) {
      x[j] += carry - 16 * x[i] * kL[j - (i - 32)];
      carry = (x[j] + 128) >> 8;  // rounds, so every digit stays within -128..127
      x[j] -= carry * 256;
    }
    x[j] += carry;
    x[i] = 0;
  }
  // Now below about 2^256: take off (x >> 252) times L, leaving a value in (-L, 2L)...
  std::int64_t carry = 0;
  for (int j = 0; j < 32; ++j) {
    x[j] += carry - (x[31] >> 4) * kL[j];
    carry = x[j] >> 8;
    x[j] &= 255;
  }
  // ...and the final carry (0 or -1 times 2^256) says once more how many L to take off.
  for (int j = 0; j < 32; ++j) x[j] -= carry * kL[j];
  for (int i = 0; i < 32; ++i) {
    x[i + 1] += x[i] >> 8;
    out[i] = static_cast<std::uint8_t>(x[i] & 255);
  }
}

}  // namespace

void scalarReduce(std::uint8_t out[32], const std::uint8_t in[64]) {
  std::int64_t x[64];
  for (int i = 0; i < 64; ++i) x[i] = in[i];
  reduceDigits(out, x);
}

void scalarMulAdd(std::uint8_t out[32], const std::uint8_t a[32], const std::uint8_t b[32],
                  const std::uint8_t c[32]) {
  std::int64_t x[64] = {};
  for (int i = 0; i < 32; ++i) x[i] = c[i];
  for (int i = 0; i < 32; ++i) {
    for (int j = 0; j < 32; ++j) x[i + j] += std::int64_t{a[i]} * b[j];
  }
  reduceDigits(out, x);
}

void slidingWindow(std::int8_t digits[256], const std::uint8_t s[32], int maxDigit) {
  int d[256];
  for (int i = 0; i < 256; ++i) d[i] = (s[i >> 3] >> (i & 7)) & 1;
  // Merge each set bit with the bits just above it into one odd digit while it stays within
  // maxDigit; a negative digit borrows from the next higher position.
  for (int i = 0; i < 256; ++i) {
    if (d[i] == 0) continue;
    for (int b = 1; b <= 7 && i + b < 256; ++b) {
      if (d[i + b] == 0) continue;
      const int step = d[i + b] << b;
      if (d[i] + step <= maxDigit) {
        d[i] += step;
        d[i + b] = 0;
      } else if (d[i] - step >= -maxDigit) {
        d[i] -= step;
        for (int k = i + b; k < 256; ++k) {
          if (d[k] == 0) {
            d[k] = 1;
            break;
          }
          d[k] = 0;
        }
      } else {
        break;
      }
    }
  }
  for (int i = 0; i < 256; ++i) digits[i] = static_cast<std::int8_t>(d[i]);
}

}  // namespace tu::ed25519_internal
