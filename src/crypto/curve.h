// The Edwards25519 group (-x^2 + y^2 = 1 + d x^2 y^2 over p = 2^255 - 19) on either field
// representation, in the coordinates of Hisil, Wong, Carter and Dawson ("Twisted Edwards curves
// revisited"): every formula here is complete, so no input needs a special case.
#pragma once

#include <cstdint>

namespace tu::ed25519_internal {

inline constexpr std::uint8_t kDBytes[32] = {
    0xa3, 0x78, 0x59, 0x13, 0xca, 0x4d, 0xeb, 0x75, 0xab, 0xd8, 0x41, 0x41, 0x4d, 0x0a, 0x70, 0x00,
    0x98, 0xe8, 0x79, 0x77, 0x79, 0x40, 0xc7, 0x8c, 0x73, 0xfe, 0x6f, 0x2b, 0xee, 0x6c, 0x03, 0x52};
inline constexpr std::uint8_t k2DBytes[32] = {
    0x59, 0xf1, 0xb2, 0x26, 0x94, 0x9b, 0xd6, 0xeb, 0x56, 0xb1, 0x83, 0x82, 0x9a, 0x14, 0xe0, 0x00,
    0x30, 0xd1, 0xf3, 0xee, 0xf2, 0x80, 0x8e, 0x19, 0xe7, 0xfc, 0xdf, 0x56, 0xdc, 0xd9, 0x06, 0x24};
inline constexpr std::uint8_t kSqrtM1Bytes[32] = {  // 2^((p-1)/4), a square root of -1
    0xb0, 0xa0, 0x0e, 0x4a, 0x27, 0x1b, 0xee, 0xc4, 0x78, 0xe4, 0x2f, 0xad, 0x06, 0x18, 0x43, 0x2f,
    0xa7, 0xd7, 0xfb, 0x3d, 0x99, 0x00, 0x4d, 0x2b, 0x0b, 0xdf, 0xc1, 0x4f, 0x80, 0x24, 0x83, 0x2b};
// The base point B: y = 4/5, x even.
inline constexpr std::uint8_t kBaseBytes[32] = {
    0x58, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66,
    0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66};

// ---- Field helpers shared by both representations ----

template <class F>
F square(const F& f, int times = 1) {
  F h = f;
  for (int i = 0; i < times; ++i) F::sq(h, h);
  return h;
}

template <class F>
F product(const F& f, const F& g) {
  F h;
  F::mul(h, f, g);
  return h;
}

// z^(2^250 - 1), and z^11 on the side: the common prefix of the two exponentiations below.
template <class F>
F powTwo250MinusOne(const F& z, F& z11) {
  const F z2 = square(z);
  const F z9 = product(square(z2, 2), z);
  z11 = product(z9, z2);
  const F z5 = product(square(z11), z9);            // 2^5 - 1
  const F z10 = product(square(z5, 5), z5);         // 2^10 - 1
  const F z20 = product(square(z10, 10), z10);      // 2^20 - 1
  const F z40 = product(square(z20, 20), z20);      // 2^40 - 1
  const F z50 = product(square(z40, 10), z10);      // 2^50 - 1
  const F z100 = product(square(z50, 50), z50);     // 2^100 - 1
  const F z200 = product(square(z100, 100), z100);  // 2^200 - 1
  return product(square(z200, 50), z50);            // 2^250 - 1
}

// 1/z as z^(p-2) (and 0 for 0): a fixed sequence of operations, whatever z is.
template <class F>
F invert(const F& z) {
  F z11;
  const F t = powTwo250MinusOne(z, z11);
  return product(square(t, 5), z11);  // 2^255 - 21
}

// z^((p-5)/8) = z^(2^252 - 3), the heart of the square root.
template <class F>
F powP58(const F& z) {
  F z11;
  const F t = powTwo250MinusOne(z, z11);
  return product(square(t, 2), z);
}

template <class F>
bool isZero(const F& f) {
  std::uint8_t s[32];
  F::toBytes(s, f);
  std::uint8_t any = 0;
  for (std::uint8_t b : s) any |= b;
  return any == 0;
}

// The sign of x in an encoding: its least significant bit.
template <class F>
unsigned isNegative(const F& f) {
  std::uint8_t s[32];
  F::toBytes(s, f);
  return s[0] & 1;
}

template <class F>
F negate(const F& f) {
  F h;
  F::sub(h, F::zero(), f);
  return h;
}

// ---- Points ----

// Projective (X : Y : Z), x = X/Z, y = Y/Z.
template <class F>
struct Projective {
  F X, Y, Z;
};

// Extended (X : Y : Z : T) with T = XY/Z.
template <class F>
struct Extended {
  F X, Y, Z, T;
  static Extended identity() { return {F::zero(), F::one(), F::one(), F::zero()}; }
};

// The result of a doubling or addition before its last multiplications:
// x = X/Z, y = Y/T.
template <class F>
struct Completed {
  F X, Y, Z, T;
};

// A point kept ready to be added: (Y + X, Y - X, Z, 2dT).
template <class F>
struct Cached {
  F yPlusX, yMinusX, Z, t2d;
};

// An affine point kept ready to be added: (y + x, y - x, 2dxy).
template <class F>
struct Affine {
  F yPlusX, yMinusX, xy2d;
};

template <class F>
Projective<F> toProjective(const Completed<F>& p) {
  Projective<F> r;
  F::mul(r.X, p.X, p.T);
  F::mul(r.Y, p.Y, p.Z);
  F::mul(r.Z, p.Z, p.T);
  return r;
}

template <class F>
Extended<F> toExtended(const Completed<F>& p) {
  Extended<F> r;
  F::mul(r.X, p.X, p.T);
  F::mul(r.Y, p.Y, p.Z);
  F::mul(r.Z, p.Z, p.T);
  F::mul(r.T, p.X, p.Y);
  return r;
}

template <class F>
Cached<F> toCached(const Extended<F>& p) {
  static constexpr F k2D = F::fromBytes(k2DBytes);
  Cached<F> r;
  F::add(r.yPlusX, p.Y, p.X);
  F::sub(r.yMinusX, p.Y, p.X);
  r.Z = p.Z;
  F::mul(r.t2d, p.T, k2D);
  return r;
}

// 2P for a=-1: with A = X^2, B = Y^2, C = 2Z^2 the result is
// x = ((X+Y)^2 - A - B) / (B - A), y = (A + B) / (2Z^2 - (B - A)).
template <class F>
Completed<F> dbl(const Projective<F>& p) {
  Completed<F> r;
  F t0;
  F::sq(r.X, p.X);
  F::sq(r.Z, p.Y);
  F::sq(r.T, p.Z);
  F::add(r.T, r.T, r.T);
  F::add(r.Y, p.X, p.Y);
  F::sq(t0, r.Y);
  F::add(r.Y, r.Z, r.X);
  F::sub(r.Z, r.Z, r.X);
  F::sub(r.X, t0, r.Y);
  F::sub(r.T, r.T, r.Z);
  return r;
}

template <class F>
Completed<F> dbl(const Extended<F>& p) {
  return dbl(Projective<F>{p.X, p.Y, p.Z});
}

// P + Q, or P - Q when `subtract` (a public choice: the verifier's digits are public).
template <class F>
Completed<F> add(const Extended<F>& p, const Cached<F>& q, bool subtract = false) {
  Completed<F> r;
  F t0;
  F::add(r.X, p.Y, p.X);
  F::sub(r.Y, p.Y, p.X);
  F::mul(r.Z, r.X, subtract ? q.yMinusX : q.yPlusX);
  F::mul(r.Y, r.Y, subtract ? q.yPlusX : q.yMinusX);
  F::mul(r.T, q.t2d, p.T);
  F::mul(r.X, p.Z, q.Z);
  F::add(t0, r.X, r.X);
  F::sub(r.X, r.Z, r.Y);
  F::add(r.Y, r.Z, r.Y);
  if (subtract) {
    F::sub(r.Z, t0, r.T);
    F::add(r.T, t0, r.T);
  } else {
    F::add(r.Z, t0, r.T);
    F::sub(r.T, t0, r.T);
  }
  return r;
}

template <class F>
Completed<F> add(const Extended<F>& p, const Affine<F>& q, bool subtract = false) {
  Completed<F> r;
  F t0;
  F::add(r.X, p.Y, p.X);
  F::sub(r.Y, p.Y, p.X);
  F::mul(r.Z, r.X, subtract ? q.yMinusX : q.yPlusX);
  F::mul(r.Y, r.Y, subtract ? q.yPlusX : q.yMinusX);
  F::mul(r.T, q.xy2d, p.T);
  F::add(t0, p.Z, p.Z);
  F::sub(r.X, r.Z, r.Y);
  F::add(r.Y, r.Z, r.Y);
  if (subtract) {
    F::sub(r.Z, t0, r.T);
    F::add(r.T, t0, r.T);
  } else {
    F::add(r.Z, t0, r.T);
    F::sub(r.T, t0, r.T);
  }
  return r;
}

// The 32-byte encoding: y, with the sign of x in bit 255. Constant time.
template <class F>
void encode(std::uint8_t s[32], const F& X, const F& Y, const F& Z) {
  const F zInverse = invert(Z);
  const F x = product(X, zInverse);
  const F y = product(Y, zInverse);
  F::toBytes(s, y);
  s[31] ^= static_cast<std::uint8_t>(isNegative(x) << 7);
}

// RFC 8032 section 5.1.3 in full: y must be below p, x^2 = (y^2 - 1) / (d y^2 + 1) must have a
// root, and x = 0 must not come with the sign bit set. Variable time: for public keys only.
template <class F>
bool decode(Extended<F>& p, const std::uint8_t s[32]) {
  // y >= p exactly when the 255 bits are 2^255 - 19 .. 2^255 - 1: all ones above byte 0.
  bool allOnes = (s[31] & 0x7f) == 0x7f && s[0] >= 0xed;
  for (int i = 1; i < 31; ++i) allOnes = allOnes && s[i] == 0xff;
  if (allOnes) return false;

  static constexpr F kD = F::fromBytes(kDBytes);
  static constexpr F kSqrtM1 = F::fromBytes(kSqrtM1Bytes);
  const unsigned sign = s[31] >> 7;
  const F y = F::fromBytes(s);
  const F yy = square(y);
  F u, v;
  F::sub(u, yy, F::one());
  F::mul(v, yy, kD);
  F::add(v, v, F::one());

  // Candidate root x = u v^3 (u v^7)^((p-5)/8); it is right up to a factor sqrt(-1).
  const F v3 = product(square(v), v);
  const F uv7 = product(product(square(v3), v), u);
  F x = product(product(powP58(uv7), v3), u);
  const F vxx = product(square(x), v);
  F check;
  F::sub(check, vxx, u);
  if (!isZero(check)) {
    F::add(check, vxx, u);
    if (!isZero(check)) return false;  // no square root: not a point
    x = product(x, kSqrtM1);
  }
  if (isZero(x) && sign == 1) return false;
  if (isNegative(x) != sign) x = negate(x);

  p.X = x;
  p.Y = y;
  p.Z = F::one();
  F::mul(p.T, x, y);
  return true;
}

}  // namespace tu::ed25519_internal
