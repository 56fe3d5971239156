// The portable SHA-256 block function (FIPS 180-4, section 6.2.2).
#include "crypto/sha256_internal.h"

namespace tu {

alignas(16) const std::uint32_t kSha256RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

namespace {

inline std::uint32_t rotr(std::uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}

inline std::uint32_t loadBigEndian(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

// One round with the working variables in their current roles: only d and h change, so eight
// calls with rotated arguments replace the moves of the textbook formulation.
inline void round(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t& d,
                  std::uint32_t e, std::uint32_t f, std::uint32_t g, std::uint32_t& h,
                  std::uint32_t kw) {
  const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + (g ^ (e & (f ^ g))) + kw;
  const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) | (c & (a | b)));
  d += t1;
  h = t1 + t2;
}

// W[t] for round t = i + j (i a multiple of 16): the message word in the first 16 rounds, then
// the schedule, kept as a ring of 16 and extended just before its round so that this work
// overlaps the rounds' long dependency chain.
inline std::uint32_t scheduled(std::uint32_t (&w)[16], int i, int j) {
  if (i > 0) {
    const std::uint32_t w15 = w[(j + 1) & 15], w2 = w[(j + 14) & 15];
    w[j] += (rotr(w15, 7) ^ rotr(w15, 18) ^ (w15 >> 3)) + w[(j + 9) & 15] +
            (rotr(w2, 17) ^ rotr(w2, 19) ^ (w2 >> 10));
  }
  return kSha256RoundConstants[i + j] + w[j];
}

}  // namespace

void sha256BlocksPortable(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
  for (; blocks > 0; --blocks, data += 64) {
    std::uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = loadBigEndian(data + 4 * i);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; i += 16) {
      round(a, b, c, d, e, f, g, h, scheduled(w, i, 0));
      round(h, a, b, c, d, e, f, g, scheduled(w, i, 1));
      round(g, h, a, b, c, d, e, f, scheduled(w, i, 2));
      round(f, g, h, a, b, c, d, e, scheduled(w, i, 3));
      round(e, f, g, h, a, b, c, d, scheduled(w, i, 4));
      round(d, e, f, g, h, a, b, c, scheduled(w, i, 5));
      round(c, d, e, f, g, h, a, b, scheduled(w, i, 6));
      round(b, c, d, e, f, g, h, a, scheduled(w, i, 7));
      round(a, b, c, d, e, f, g, h, scheduled(w, i, 8));
      round(h, a, b, c, d, e, f, g, scheduled(w, i, 9));
      round(g, h, a, b, c, d, e, f, scheduled(w, i, 10));
      round(f, g, h, a, b, c, d, e, scheduled(w, i, 11));
      round(e, f, g, h, a, b, c, d, scheduled(w, i, 12));
      round(d, e, f, g, h, a, b, c, scheduled(w, i, 13));
      round(c, d, e, f, g, h, a, b, scheduled(w, i, 14));
      round(b, c, d, e, f, g, h, a, scheduled(w, i, 15));
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
  }
}

}  // namespace tu
