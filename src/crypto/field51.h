// Field arithmetic modulo p = 2^255 - 19 with five 51-bit limbs and 128-bit products. Needs a
// compiler with unsigned __int128; field.h picks this representation only then.
//
// Limb bounds (the contract every caller keeps): mul, sq, sub and carry return "reduced"
// limbs (below 2^51 + 2^13). add does not carry: the sum of two reduced values may go to mul,
// sq or toBytes, or be the subtrahend of sub, and f + g + h of reduced values may still go to
// mul and sq (their inputs must stay below 2^54).
#pragma once

#include <cstdint>

namespace tu::ed25519_internal {

struct Field51 {
  using Limb = std::uint64_t;
  static constexpr Limb kMask = (Limb{1} << 51) - 1;

  Limb v[5];

  static constexpr Field51 zero() { return {{0, 0, 0, 0, 0}}; }
  static constexpr Field51 one() { return {{1, 0, 0, 0, 0}}; }

  // The low 255 bits of a 32-byte little-endian number; bit 255 is ignored.
  static constexpr Field51 fromBytes(const std::uint8_t* s) {
    Limb w[4] = {};
    for (int i = 0; i < 32; ++i) w[i / 8] |= Limb{s[i]} << (8 * (i % 8));
    return {{w[0] & kMask, ((w[0] >> 51) | (w[1] << 13)) & kMask,
             ((w[1] >> 38) | (w[2] << 26)) & kMask, ((w[2] >> 25) | (w[3] << 39)) & kMask,
             (w[3] >> 12) & kMask}};
  }

  // The canonical encoding (value below p), without any branch on the value.
  static void toBytes(std::uint8_t s[32], const Field51& f) {
    Field51 t = f;
    carry(t);
    carry(t);  // now every limb is below 2^51 and the value below 2^255
    // q = 1 exactly when t >= p, that is when t + 19 reaches 2^255.
    Limb q = (t.v[0] + 19) >> 51;
    for (int i = 1; i < 5; ++i) q = (t.v[i] + q) >> 51;
    t.v[0] += 19 * q;
    for (int i = 0; i < 4; ++i) {
      t.v[i + 1] += t.v[i] >> 51;
      t.v[i] &= kMask;
    }
    t.v[4] &= kMask;  // drops the 2^255 that stands for q * p
    const Limb w[4] = {t.v[0] | (t.v[1] << 51), (t.v[1] >> 13) | (t.v[2] << 38),
                       (t.v[2] >> 26) | (t.v[3] << 25), (t.v[3] >> 39) | (t.v[4] << 12)};
    for (int i = 0; i < 32; ++i) s[i] = static_cast<std::uint8_t>(w[i / 8] >> (8 * (i % 8)));
  }

  static void add(Field51& h, const Field51& f, const Field51& g) {
    for (int i = 0; i < 5; ++i) h.v[i] = f.v[i] + g.v[i];
  }

  // f - g as f + 4p - g; g's limbs must be at most 2^53 - 76.
  static void sub(Field51& h, const Field51& f, const Field51& g) {
    h.v[0] = f.v[0] + 0x1FFFFFFFFFFFB4ULL - g.v[0];
    for (int i = 1; i < 5; ++i) h.v[i] = f.v[i] + 0x1FFFFFFFFFFFFCULL - g.v[i];
    carry(h);
  }

  // Limbs below 2^63 in, reduced limbs out.
  static void carry(Field51& h) {
    for (int i = 0; i < 4; ++i) {
      h.v[i + 1] += h.v[i] >> 51;
      h.v[i] &= kMask;
    }
    h.v[0] += 19 * (h.v[4] >> 51);
    h.v[4] &= kMask;
    h.v[1] += h.v[0] >> 51;
    h.v[0] &= kMask;
  }

  static void mul(Field51& h, const Field51& f, const Field51& g) {
    using Wide = unsigned __int128;
    const Limb f0 = f.v[0], f1 = f.v[1], f2 = f.v[2], f3 = f.v[3], f4 = f.v[4];
    const Limb g0 = g.v[0], g1 = g.v[1], g2 = g.v[2], g3 = g.v[3], g4 = g.v[4];
    // 2^255 = 19 (mod p): products that land at 2^255 and above come back times 19.
    const Limb g1s = 19 * g1, g2s = 19 * g2, g3s = 19 * g3, g4s = 19 * g4;
    const Wide r0 =
        Wide{f0} * g0 + Wide{f1} * g4s + Wide{f2} * g3s + Wide{f3} * g2s + Wide{f4} * g1s;
    const Wide r1 =
        Wide{f0} * g1 + Wide{f1} * g0 + Wide{f2} * g4s + Wide{f3} * g3s + Wide{f4} * g2s;
    const Wide r2 = Wide{f0} * g2 + Wide{f1} * g1 + Wide{f2} * g0 + Wide{f3} * g4s + Wide{f4} * g3s;
    const Wide r3 = Wide{f0} * g3 + Wide{f1} * g2 + Wide{f2} * g1 + Wide{f3} * g0 + Wide{f4} * g4s;
    const Wide r4 = Wide{f0} * g4 + Wide{f1} * g3 + Wide{f2} * g2 + Wide{f3} * g1 + Wide{f4} * g0;
    carryWide(h, r0, r1, r2, r3, r4);
  }

  static void sq(Field51& h, const Field51& f) {
    using Wide = unsigned __int128;
    const Limb f0 = f.v[0], f1 = f.v[1], f2 = f.v[2], f3 = f.v[3], f4 = f.v[4];
    const Limb f0d = 2 * f0, f1d = 2 * f1, f2d = 2 * f2, f3d = 2 * f3;
    const Limb f3s = 19 * f3, f4s = 19 * f4;
    const Wide r0 = Wide{f0} * f0 + Wide{f1d} * f4s + Wide{f2d} * f3s;
    const Wide r1 = Wide{f0d} * f1 + Wide{f3} * f3s + Wide{f2d} * f4s;
    const Wide r2 = Wide{f0d} * f2 + Wide{f1} * f1 + Wide{f3d} * f4s;
    const Wide r3 = Wide{f0d} * f3 + Wide{f1d} * f2 + Wide{f4} * f4s;
    const Wide r4 = Wide{f0d} * f4 + Wide{f1d} * f3 + Wide{f2} * f2;
    carryWide(h, r0, r1, r2, r3, r4);
  }

  // f = g when bit is 1, f unchanged when it is 0, by masking rather than branching.
  static void cmov(Field51& f, const Field51& g, unsigned bit) {
    const Limb mask = Limb{0} - bit;
    for (int i = 0; i < 5; ++i) f.v[i] ^= mask & (f.v[i] ^ g.v[i]);
  }

 private:
  static void carryWide(Field51& h, unsigned __int128 r0, unsigned __int128 r1,
                        unsigned __int128 r2, unsigned __int128 r3, unsigned __int128 r4) {
    r1 += static_cast<Limb>(r0 >> 51);
    r2 += static_cast<Limb>(r1 >> 51);
    r3 += static_cast<Limb>(r2 >> 51);
    r4 += static_cast<Limb>(r3 >> 51);
    h.v[0] = (static_cast<Limb>(r0) & kMask) + 19 * static_cast<Limb>(r4 >> 51);
    h.v[1] = (static_cast<Limb>(r1) & kMask) + (h.v[0] >> 51);
    h.v[0] &= kMask;
    h.v[2] = static_cast<Limb>(r2) & kMask;
    h.v[3] = static_cast<Limb>(r3) & kMask;
    h.v[4] = static_cast<Limb>(r4) & kMask;
  }
};

}  // namespace tu::ed25519_internal
