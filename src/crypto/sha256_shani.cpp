// The SHA-256 block function on the x86 SHA extensions. This file alone is compiled with
// -msha -msse4.1 -mssse3; nothing here runs unless sha256ShaNiAvailable() said so.
#include <immintrin.h>

#include "crypto/sha256_internal.h"

namespace tu {
namespace {

// Four rounds: two sha256rnds2 steps, each taking two words of W + K.
inline void rounds4(__m128i& abef, __m128i& cdgh, __m128i w, int group) {
  const __m128i wk = _mm_add_epi32(
      w, _mm_load_si128(reinterpret_cast<const __m128i*>(kSha256RoundConstants + 4 * group)));
  cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
  abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0E));
}

// W[t..t+3] from the four previous groups: w16 = W[t-16..t-13] (replaced), w12, w8, w4.
inline void schedule(__m128i& w16, __m128i w12, __m128i w8, __m128i w4) {
  const __m128i w7 = _mm_alignr_epi8(w4, w8, 4);  // W[t-7..t-4]
  w16 = _mm_sha256msg2_epu32(_mm_add_epi32(_mm_sha256msg1_epu32(w16, w12), w7), w4);
}

}  // namespace

void sha256BlocksShaNi(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
  // Each word is big-endian in the message.
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);

  // sha256rnds2 wants the state as ABEF and CDGH.
  __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

  for (; blocks > 0; --blocks, data += 64) {
    const __m128i savedAbef = abef, savedCdgh = cdgh;
    const auto* in = reinterpret_cast<const __m128i*>(data);
    __m128i w0 = _mm_shuffle_epi8(_mm_loadu_si128(in), byteSwap);
    __m128i w1 = _mm_shuffle_epi8(_mm_loadu_si128(in + 1), byteSwap);
    __m128i w2 = _mm_shuffle_epi8(_mm_loadu_si128(in + 2), byteSwap);
    __m128i w3 = _mm_shuffle_epi8(_mm_loadu_si128(in + 3), byteSwap);
    rounds4(abef, cdgh, w0, 0);
    rounds4(abef, cdgh, w1, 1);
    rounds4(abef, cdgh, w2, 2);
    rounds4(abef, cdgh, w3, 3);
    for (int group = 4; group < 16; group += 4) {
      schedule(w0, w1, w2, w3);
      rounds4(abef, cdgh, w0, group);
      schedule(w1, w2, w3, w0);
      rounds4(abef, cdgh, w1, group + 1);
      schedule(w2, w3, w0, w1);
      rounds4(abef, cdgh, w2, group + 2);
      schedule(w3, w0, w1, w2);
      rounds4(abef, cdgh, w3, group + 3);
    }
    abef = _mm_add_epi32(abef, savedAbef);
    cdgh = _mm_add_epi32(cdgh, savedCdgh);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  dcba = _mm_blend_epi16(feba, dchg, 0xF0);
  hgfe = _mm_alignr_epi8(dchg, feba, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), dcba);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), hgfe);
}

}  // namespace tu
