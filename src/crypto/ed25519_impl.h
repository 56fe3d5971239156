// Ed25519 verification and signing on a chosen field representation. The public functions use
// the one field.h picks; tests also run the other, so both stay exercised on every build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "crypto/curve.h"
#include "crypto/scalar.h"
#include "crypto/sha512.h"

namespace tu::ed25519_internal {

// ---- Verification: public data only, variable time ----

// [1]B, [3]B, ..., [63]B, for digits of magnitude up to 63.
template <class F>
struct BaseOddMultiples {
  Affine<F> point[32];

  BaseOddMultiples() {
    Extended<F> multiple[32];
    decode(multiple[0], kBaseBytes);
    const Cached<F> twice = toCached(toExtended(dbl(multiple[0])));
    for (int i = 1; i < 32; ++i) multiple[i] = toExtended(add(multiple[i - 1], twice));
    // One inversion for all: inverse of Z_i = (Z_0 ... Z_i)^-1 * (Z_0 ... Z_(i-1)).
    F prefix[32];
    prefix[0] = multiple[0].Z;
    for (int i = 1; i < 32; ++i) prefix[i] = product(prefix[i - 1], multiple[i].Z);
    F inverse = invert(prefix[31]);
    static constexpr F k2D = F::fromBytes(k2DBytes);
    for (int i = 31; i >= 0; --i) {
      const F zInverse = i > 0 ? product(inverse, prefix[i - 1]) : inverse;
      inverse = product(inverse, multiple[i].Z);
      const F x = product(multiple[i].X, zInverse);
      const F y = product(multiple[i].Y, zInverse);
      F::add(point[i].yPlusX, y, x);
      F::sub(point[i].yMinusX, y, x);
      point[i].xy2d = product(product(x, y), k2D);
    }
  }
};

template <class F>
const BaseOddMultiples<F>& baseOddMultiples() {
  static const BaseOddMultiples<F> table;  // built on first use, thread-safe
  return table;
}

// [k]A + [s]B with sliding windows: digits up to 15 for A (eight multiples made here), up to 63
// for B (the fixed table).
template <class F>
Projective<F> doubleScalarMult(const std::uint8_t k[32], const Extended<F>& a,
                               const std::uint8_t s[32]) {
  std::int8_t kDigits[256], sDigits[256];
  slidingWindow(kDigits, k, 15);
  slidingWindow(sDigits, s, 63);

  Cached<F> aOdd[8];
  aOdd[0] = toCached(a);
  const Cached<F> aTwice = toCached(toExtended(dbl(a)));
  Extended<F> multiple = a;
  for (int i = 1; i < 8; ++i) {
    multiple = toExtended(add(multiple, aTwice));
    aOdd[i] = toCached(multiple);
  }
  const BaseOddMultiples<F>& bOdd = baseOddMultiples<F>();

  Projective<F> r{F::zero(), F::one(), F::one()};
  int i = 255;
  while (i >= 0 && kDigits[i] == 0 && sDigits[i] == 0) --i;
  for (; i >= 0; --i) {
    Completed<F> t = dbl(r);
    if (kDigits[i] != 0) {
      const int digit = kDigits[i];
      t = add(toExtended(t), aOdd[(digit < 0 ? -digit : digit) / 2], digit < 0);
    }
    if (sDigits[i] != 0) {
      const int digit = sDigits[i];
      t = add(toExtended(t), bOdd.point[(digit < 0 ? -digit : digit) / 2], digit < 0);
    }
    r = toProjective(t);
  }
  return r;
}

template <class F>
bool verifyWith(const std::uint8_t signature[64], const std::uint8_t* message,
                std::size_t messageSize, const std::uint8_t publicKey[32]) {
  // 1. The top three bits of S must be clear; S is not otherwise compared with L.
  if (signature[63] >= 32) return false;
  // 2. The key must decode as a point.
  Extended<F> a;
  if (!decode(a, publicKey)) return false;
  // 3. k = SHA-512(R || A || message) mod L, over the bytes as given.
  std::uint8_t digest[64];
  Sha512 hasher;
  hasher.update(signature, 32);
  hasher.update(publicKey, 32);
  hasher.update(message, messageSize);
  hasher.final(digest);
  std::uint8_t k[32];
  scalarReduce(k, digest);
  // 4. [S]B - [k]A = [k](-A) + [S]B, encoded.
  a.X = negate(a.X);
  a.T = negate(a.T);
  const Projective<F> check = doubleScalarMult(k, a, signature + 32);
  std::uint8_t encoded[32];
  encode(encoded, check.X, check.Y, check.Z);
  // 5. All 32 bytes must equal R.
  return std::memcmp(encoded, signature, 32) == 0;
}

// ---- Signing: the seed, the secret scalar and the nonce are secrets, so everything below runs
// the same instructions and touches the same memory whatever their values ----

inline void wipe(void* data, std::size_t size) {
  volatile auto* p = static_cast<volatile std::uint8_t*>(data);
  for (std::size_t i = 0; i < size; ++i) p[i] = 0;
}

// table[index] read by scanning every entry and keeping the one whose index matches by masks.
template <class F>
Cached<F> select(const Cached<F> (&table)[16], unsigned index) {
  Cached<F> r = table[0];
  for (unsigned j = 1; j < 16; ++j) {
    const unsigned equal = ((j ^ index) - 1u) >> 31;  // 1 when j == index (both below 16)
    F::cmov(r.yPlusX, table[j].yPlusX, equal);
    F::cmov(r.yMinusX, table[j].yMinusX, equal);
    F::cmov(r.Z, table[j].Z, equal);
    F::cmov(r.t2d, table[j].t2d, equal);
  }
  return r;
}

// [a]B for a secret 256-bit a: fixed 4-bit windows from the top, four doublings and one
// addition of a selected multiple (the identity for a zero window) per window.
template <class F>
Extended<F> scalarMultBase(const std::uint8_t a[32]) {
  Cached<F> table[16];
  Extended<F> multiple = Extended<F>::identity();
  Extended<F> base;
  decode(base, kBaseBytes);
  const Cached<F> baseCached = toCached(base);
  table[0] = toCached(multiple);
  for (int j = 1; j < 16; ++j) {
    multiple = toExtended(add(multiple, baseCached));
    table[j] = toCached(multiple);
  }

  Extended<F> r = Extended<F>::identity();
  for (int i = 63; i >= 0; --i) {
    Projective<F> p{r.X, r.Y, r.Z};
    for (int d = 0; d < 3; ++d) p = toProjective(dbl(p));
    r = toExtended(dbl(p));
    const unsigned window = (a[i / 2] >> (4 * (i & 1))) & 15u;
    r = toExtended(add(r, select(table, window)));
  }
  return r;
}

// The secret scalar (clamped first half) and the nonce prefix (second half) of a seed.
inline void expandSeed(std::uint8_t expanded[64], const std::uint8_t seed[32]) {
  Sha512 hasher;
  hasher.update(seed, 32);
  hasher.final(expanded);
  wipe(&hasher, sizeof hasher);  // its buffer still holds the seed
  expanded[0] &= 248;
  expanded[31] &= 127;
  expanded[31] |= 64;
}

template <class F>
void publicKeyWith(const std::uint8_t seed[32], std::uint8_t publicKey[32]) {
  std::uint8_t expanded[64];
  expandSeed(expanded, seed);
  Extended<F> a = scalarMultBase<F>(expanded);
  encode(publicKey, a.X, a.Y, a.Z);
  wipe(expanded, sizeof expanded);
  wipe(&a, sizeof a);
}

template <class F>
void signWith(const std::uint8_t seed[32], const std::uint8_t* message, std::size_t messageSize,
              std::uint8_t signature[64]) {
  std::uint8_t expanded[64];
  expandSeed(expanded, seed);
  std::uint8_t publicKey[32];
  Extended<F> point = scalarMultBase<F>(expanded);
  encode(publicKey, point.X, point.Y, point.Z);

  // r = SHA-512(prefix || message) mod L; R = [r]B.
  std::uint8_t digest[64];
  Sha512 hasher;
  hasher.update(expanded + 32, 32);
  hasher.update(message, messageSize);
  hasher.final(digest);
  std::uint8_t nonce[32];
  scalarReduce(nonce, digest);
  point = scalarMultBase<F>(nonce);
  encode(signature, point.X, point.Y, point.Z);

  // S = (r + k a) mod L with k = SHA-512(R || A || message) mod L.
  hasher.update(signature, 32);
  hasher.update(publicKey, 32);
  hasher.update(message, messageSize);
  hasher.final(digest);
  std::uint8_t k[32];
  scalarReduce(k, digest);
  scalarMulAdd(signature + 32, k, expanded, nonce);

  wipe(expanded, sizeof expanded);
  wipe(digest, sizeof digest);
  wipe(nonce, sizeof nonce);
  wipe(&point, sizeof point);
  wipe(&hasher, sizeof hasher);  // its buffer held the nonce prefix
}

}  // namespace tu::ed25519_internal
