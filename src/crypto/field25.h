// Field arithmetic modulo p = 2^255 - 19 with ten limbs of alternately 26 and 25 bits
// (radix 2^25.5) and 64-bit products: the representation for compilers without a 128-bit
// integer type, such as the 32-bit Windows build. Tests build it everywhere.
//
// Limb bounds: mul, sq, sub and carry return "reduced" limbs (below 2^26 or 2^25 plus a few
// bits in limb 1). add does not carry: sums of up to three reduced values may go to mul and sq,
// sums of two may be the subtrahend of sub.
#pragma once

#include <cstdint>

namespace tu::ed25519_internal {

struct Field25 {
  using Limb = std::uint32_t;

  Limb v[10];

  // Limb i holds bits [kOffset[i], kOffset[i] + kWidth[i]) of the value.
  static constexpr int kWidth[10] = {26, 25, 26, 25, 26, 25, 26, 25, 26, 25};
  static constexpr int kOffset[10] = {0, 26, 51, 77, 102, 128, 153, 179, 204, 230};

  static constexpr Field25 zero() { return {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}; }
  static constexpr Field25 one() { return {{1, 0, 0, 0, 0, 0, 0, 0, 0, 0}}; }

  // The low 255 bits of a 32-byte little-endian number; bit 255 is ignored.
  static constexpr Field25 fromBytes(const std::uint8_t* s) {
    Field25 h{};
    for (int i = 0; i < 10; ++i) {
      std::uint64_t window = 0;
      const int first = kOffset[i] / 8;
      for (int b = 0; b < 5 && first + b < 32; ++b) {
        window |= std::uint64_t{s[first + b]} << (8 * b);
      }
      h.v[i] = static_cast<Limb>((window >> (kOffset[i] % 8)) & mask(i));
    }
    return h;
  }

  // The canonical encoding (value below p), without any branch on the value.
  static void toBytes(std::uint8_t s[32], const Field25& f) {
    Field25 t = f;
    carry(t);
    carry(t);  // every limb within its width, the value below 2^255
    // q = 1 exactly when t >= p, that is when t + 19 reaches 2^255.
    Limb q = (t.v[0] + 19) >> kWidth[0];
    for (int i = 1; i < 10; ++i) q = (t.v[i] + q) >> kWidth[i];
    t.v[0] += 19 * q;
    for (int i = 0; i < 9; ++i) {
      t.v[i + 1] += t.v[i] >> kWidth[i];
      t.v[i] &= mask(i);
    }
    t.v[9] &= mask(9);  // drops the 2^255 that stands for q * p
    for (int i = 0; i < 32; ++i) s[i] = 0;
    for (int i = 0; i < 10; ++i) {
      const std::uint64_t bits = std::uint64_t{t.v[i]} << (kOffset[i] % 8);
      for (int b = 0; b < 5 && kOffset[i] / 8 + b < 32; ++b) {
        s[kOffset[i] / 8 + b] |= static_cast<std::uint8_t>(bits >> (8 * b));
      }
    }
  }

  static void add(Field25& h, const Field25& f, const Field25& g) {
    for (int i = 0; i < 10; ++i) h.v[i] = f.v[i] + g.v[i];
  }

  // f - g as f + 4p - g; g's limbs must be at most 4p's (about 2^28 and 2^27).
  static void sub(Field25& h, const Field25& f, const Field25& g) {
    for (int i = 0; i < 10; ++i) {
      const Limb fourP = i == 0 ? 4 * (mask(0) - 18) : 4 * mask(i);
      h.v[i] = f.v[i] + fourP - g.v[i];
    }
    carry(h);
  }

  static void carry(Field25& h) {
    for (int i = 0; i < 9; ++i) {
      h.v[i + 1] += h.v[i] >> kWidth[i];
      h.v[i] &= mask(i);
    }
    h.v[0] += 19 * (h.v[9] >> kWidth[9]);
    h.v[9] &= mask(9);
    h.v[1] += h.v[0] >> kWidth[0];
    h.v[0] &= mask(0);
  }

  static void mul(Field25& h, const Field25& f, const Field25& g) {
    // Limb weights multiply exactly except odd by odd, whose product has twice the weight of
    // its position; weights from 2^255 up come back times 19 (2^255 = 19 mod p).
    std::uint64_t t[19] = {};
    for (int i = 0; i < 10; ++i) {
      for (int j = 0; j < 10; ++j) {
        const std::uint64_t product = std::uint64_t{f.v[i]} * g.v[j];
        t[i + j] += (i & j & 1) ? 2 * product : product;
      }
    }
    for (int k = 18; k >= 10; --k) t[k - 10] += 19 * t[k];
    for (int i = 0; i < 9; ++i) {
      t[i + 1] += t[i] >> kWidth[i];
      t[i] &= mask(i);
    }
    t[0] += 19 * (t[9] >> kWidth[9]);
    t[9] &= mask(9);
    t[1] += t[0] >> kWidth[0];
    t[0] &= mask(0);
    for (int i = 0; i < 10; ++i) h.v[i] = static_cast<Limb>(t[i]);
  }

  static void sq(Field25& h, const Field25& f) { mul(h, f, f); }

  // f = g when bit is 1, f unchanged when it is 0, by masking rather than branching.
  static void cmov(Field25& f, const Field25& g, unsigned bit) {
    const Limb m = Limb{0} - bit;
    for (int i = 0; i < 10; ++i) f.v[i] ^= m & (f.v[i] ^ g.v[i]);
  }

 private:
  static constexpr Limb mask(int i) { return (Limb{1} << kWidth[i]) - 1; }
};

}  // namespace tu::ed25519_internal
