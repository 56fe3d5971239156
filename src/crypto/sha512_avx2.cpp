// The SHA-512 block function for x86 processors with AVX2 and BMI2. This file alone is compiled
// with -mavx2 -mbmi -mbmi2; nothing here runs unless sha512Avx2Available() said so.
//
// Blocks go in pairs: the message schedule of both is computed in 256-bit registers (one block
// per 128-bit lane, two words each), interleaved with the scalar rounds of the first block so
// that the vector units work while the integer units run the rounds' dependency chain; the
// second block's rounds then read their K + W ready-made.
#include <immintrin.h>

#include "crypto/sha512_internal.h"
#include "crypto/sha512_rounds.h"

namespace tu {
namespace {

template <int N>
inline __m256i rotr(__m256i x) {
  return _mm256_or_si256(_mm256_srli_epi64(x, N), _mm256_slli_epi64(x, 64 - N));
}

inline __m256i smallSigma0(__m256i x) {
  return _mm256_xor_si256(_mm256_xor_si256(rotr<1>(x), rotr<8>(x)), _mm256_srli_epi64(x, 7));
}

inline __m256i smallSigma1(__m256i x) {
  return _mm256_xor_si256(_mm256_xor_si256(rotr<19>(x), rotr<61>(x)), _mm256_srli_epi64(x, 6));
}

// K + W for both blocks of a pair. Unaligned vector loads and stores throughout: 64-bit Windows
// compilers do not promise 32-byte alignment of stack variables.
struct PairKw {
  std::uint64_t kw[2][80];

  // Stores K[t] + W[t] and K[t+1] + W[t+1] of both blocks, t = 2p.
  void store(int p, __m256i words) {
    const __m256i k = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha512RoundConstants + 2 * p)));
    const __m256i sum = _mm256_add_epi64(words, k);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(kw[0] + 2 * p), _mm256_castsi256_si128(sum));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(kw[1] + 2 * p), _mm256_extracti128_si256(sum, 1));
  }
};

// Words t = 2p, t+1 of both blocks from the pairs holding words t-16 (w16), t-14 (w14),
// t-8 (w8), t-6 (w6) and t-2 (w2).
inline __m256i nextPair(__m256i w16, __m256i w14, __m256i w8, __m256i w6, __m256i w2) {
  const __m256i w15 = _mm256_alignr_epi8(w14, w16, 8);  // W[t-15], W[t-14]
  const __m256i w7 = _mm256_alignr_epi8(w6, w8, 8);     // W[t-7], W[t-6]
  return _mm256_add_epi64(_mm256_add_epi64(w16, smallSigma0(w15)),
                          _mm256_add_epi64(w7, smallSigma1(w2)));
}

inline __m256i loadPair(const std::uint8_t* first, const std::uint8_t* second) {
  const __m256i byteSwap = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7,
                                            6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second));
  return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1),
                             byteSwap);
}

}  // namespace

void sha512BlocksAvx2(std::uint64_t state[8], const std::uint8_t* data, std::size_t blocks) {
  PairKw kw;
  while (blocks > 0) {
    // A last odd block is paired with itself and its second lane ignored.
    const bool two = blocks >= 2;
    const std::uint8_t* second = two ? data + 128 : data;
    // The last sixteen words of both blocks as eight pairs, kept in registers.
    __m256i x0 = loadPair(data, second), x1 = loadPair(data + 16, second + 16);
    __m256i x2 = loadPair(data + 32, second + 32), x3 = loadPair(data + 48, second + 48);
    __m256i x4 = loadPair(data + 64, second + 64), x5 = loadPair(data + 80, second + 80);
    __m256i x6 = loadPair(data + 96, second + 96), x7 = loadPair(data + 112, second + 112);
    kw.store(0, x0);
    kw.store(1, x1);
    kw.store(2, x2);
    kw.store(3, x3);
    kw.store(4, x4);
    kw.store(5, x5);
    kw.store(6, x6);
    kw.store(7, x7);
    // Rounds i .. i+15 of the first block compute words i+16 .. i+31 of both, two per two
    // rounds, each pair replacing the one sixteen words older.
    sha512Rounds(state, [&](int i, int j) {
      if (i < 64) {
        const int p = (i + 16 + j) / 2;
        switch (j) {
          case 0: kw.store(p, x0 = nextPair(x0, x1, x4, x5, x7)); break;
          case 2: kw.store(p, x1 = nextPair(x1, x2, x5, x6, x0)); break;
          case 4: kw.store(p, x2 = nextPair(x2, x3, x6, x7, x1)); break;
          case 6: kw.store(p, x3 = nextPair(x3, x4, x7, x0, x2)); break;
          case 8: kw.store(p, x4 = nextPair(x4, x5, x0, x1, x3)); break;
          case 10: kw.store(p, x5 = nextPair(x5, x6, x1, x2, x4)); break;
          case 12: kw.store(p, x6 = nextPair(x6, x7, x2, x3, x5)); break;
          case 14: kw.store(p, x7 = nextPair(x7, x0, x3, x4, x6)); break;
          default: break;
        }
      }
      return kw.kw[0][i + j];
    });
    if (two) sha512Rounds(state, [&kw](int i, int j) { return kw.kw[1][i + j]; });
    data += two ? 256 : 128;
    blocks -= two ? 2 : 1;
  }
}

}  // namespace tu
