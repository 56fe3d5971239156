// The SHA-512 round function and constants, shared by both block functions. Everything here
// has internal linkage: the two files that include it are compiled for different instruction
// sets, and each must keep its own copy.
#pragma once

#include <cstdint>

namespace tu {
namespace {

alignas(32) inline constexpr std::uint64_t kSha512RoundConstants[80] = {
    0x428a2f98d728ae22ULL, 0x7137449123ef65cdULL, 0xb5c0fbcfec4d3b2fULL, 0xe9b5dba58189dbbcULL,
    0x3956c25bf348b538ULL, 0x59f111f1b605d019ULL, 0x923f82a4af194f9bULL, 0xab1c5ed5da6d8118ULL,
    0xd807aa98a3030242ULL, 0x12835b0145706fbeULL, 0x243185be4ee4b28cULL, 0x550c7dc3d5ffb4e2ULL,
    0x72be5d74f27b896fULL, 0x80deb1fe3b1696b1ULL, 0x9bdc06a725c71235ULL, 0xc19bf174cf692694ULL,
    0xe49b69c19ef14ad2ULL, 0xefbe4786384f25e3ULL, 0x0fc19dc68b8cd5b5ULL, 0x240ca1cc77ac9c65ULL,
    0x2de92c6f592b0275ULL, 0x4a7484aa6ea6e483ULL, 0x5cb0a9dcbd41fbd4ULL, 0x76f988da831153b5ULL,
    0x983e5152ee66dfabULL, 0xa831c66d2db43210ULL, 0xb00327c898fb213fULL, 0xbf597fc7beef0ee4ULL,
    0xc6e00bf33da88fc2ULL, 0xd5a79147930aa725ULL, 0x06ca6351e003826fULL, 0x142929670a0e6e70ULL,
    0x27b70a8546d22ffcULL, 0x2e1b21385c26c926ULL, 0x4d2c6dfc5ac42aedULL, 0x53380d139d95b3dfULL,
    0x650a73548baf63deULL, 0x766a0abb3c77b2a8ULL, 0x81c2c92e47edaee6ULL, 0x92722c851482353bULL,
    0xa2bfe8a14cf10364ULL, 0xa81a664bbc423001ULL, 0xc24b8b70d0f89791ULL, 0xc76c51a30654be30ULL,
    0xd192e819d6ef5218ULL, 0xd69906245565a910ULL, 0xf40e35855771202aULL, 0x106aa07032bbd1b8ULL,
    0x19a4c116b8d2d0c8ULL, 0x1e376c085141ab53ULL, 0x2748774cdf8eeb99ULL, 0x34b0bcb5e19b48a8ULL,
    0x391c0cb3c5c95a63ULL, 0x4ed8aa4ae3418acbULL, 0x5b9cca4f7763e373ULL, 0x682e6ff3d6b2b8a3ULL,
    0x748f82ee5defb2fcULL, 0x78a5636f43172f60ULL, 0x84c87814a1f0ab72ULL, 0x8cc702081a6439ecULL,
    0x90befffa23631e28ULL, 0xa4506cebde82bde9ULL, 0xbef9a3f7b2c67915ULL, 0xc67178f2e372532bULL,
    0xca273eceea26619cULL, 0xd186b8c721c0c207ULL, 0xeada7dd6cde0eb1eULL, 0xf57d4f7fee6ed178ULL,
    0x06f067aa72176fbaULL, 0x0a637dc5a2c898a6ULL, 0x113f9804bef90daeULL, 0x1b710b35131c471bULL,
    0x28db77f523047d84ULL, 0x32caab7b40c72493ULL, 0x3c9ebe0a15c9bebcULL, 0x431d67c49c100d4cULL,
    0x4cc5d4becb3e42b6ULL, 0x597f299cfc657e2aULL, 0x5fcb6fab3ad6faecULL, 0x6c44198c4a475817ULL};

inline std::uint64_t rotr64(std::uint64_t x, int n) {
  return (x >> n) | (x << (64 - n));
}

// Written out so that compilers turn it into one load and a byte swap.
inline std::uint64_t loadBigEndian64(const std::uint8_t* p) {
  return (std::uint64_t{p[0]} << 56) | (std::uint64_t{p[1]} << 48) | (std::uint64_t{p[2]} << 40) |
         (std::uint64_t{p[3]} << 32) | (std::uint64_t{p[4]} << 24) | (std::uint64_t{p[5]} << 16) |
         (std::uint64_t{p[6]} << 8) | std::uint64_t{p[7]};
}

// One round with the working variables passed in their current roles: only d and h change,
// so eight calls with rotated arguments replace the moves of the textbook formulation.
// kw is K[t] + W[t].
inline void sha512Round(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t& d,
                        std::uint64_t e, std::uint64_t f, std::uint64_t g, std::uint64_t& h,
                        std::uint64_t kw) {
  const std::uint64_t t1 =
      h + kw + (g ^ (e & (f ^ g))) + (rotr64(e, 14) ^ rotr64(e, 18) ^ rotr64(e, 41));
  const std::uint64_t t2 =
      (rotr64(a, 28) ^ rotr64(a, 34) ^ rotr64(a, 39)) + ((a & b) | (c & (a | b)));
  d += t1;
  h = t1 + t2;
}

// The 80 rounds of one block on state s, sixteen at a time; kw(i, j) gives K[t] + W[t] for
// round t = i + j (i a multiple of 16, j a constant 0..15) and may compute W[t] on the way,
// which lets that work overlap the rounds' long dependency chain.
template <class KW>
inline void sha512Rounds(std::uint64_t s[8], KW&& kw) {
  std::uint64_t a = s[0], b = s[1], c = s[2], d = s[3], e = s[4], f = s[5], g = s[6], h = s[7];
  for (int i = 0; i < 80; i += 16) {
    sha512Round(a, b, c, d, e, f, g, h, kw(i, 0));
    sha512Round(h, a, b, c, d, e, f, g, kw(i, 1));
    sha512Round(g, h, a, b, c, d, e, f, kw(i, 2));
    sha512Round(f, g, h, a, b, c, d, e, kw(i, 3));
    sha512Round(e, f, g, h, a, b, c, d, kw(i, 4));
    sha512Round(d, e, f, g, h, a, b, c, kw(i, 5));
    sha512Round(c, d, e, f, g, h, a, b, kw(i, 6));
    sha512Round(b, c, d, e, f, g, h, a, kw(i, 7));
    sha512Round(a, b, c, d, e, f, g, h, kw(i, 8));
    sha512Round(h, a, b, c, d, e, f, g, kw(i, 9));
    sha512Round(g, h, a, b, c, d, e, f, kw(i, 10));
    sha512Round(f, g, h, a, b, c, d, e, kw(i, 11));
    sha512Round(e, f, g, h, a, b, c, d, kw(i, 12));
    sha512Round(d, e, f, g, h, a, b, c, kw(i, 13));
    sha512Round(c, d, e, f, g, h, a, b, kw(i, 14));
    sha512Round(b, c, d, e, f, g, h, a, kw(i, 15));
  }
  s[0] += a;
  s[1] += b;
  s[2] += c;
  s[3] += d;
  s[4] += e;
  s[5] += f;
  s[6] += g;
  s[7] += h;
}

}  // namespace
}  // namespace tu
