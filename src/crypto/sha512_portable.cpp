// The portable SHA-512 block function (FIPS 180-4, section 6.4.2).
#include "crypto/sha512_internal.h"
#include "crypto/sha512_rounds.h"

namespace tu {

void sha512BlocksPortable(std::uint64_t state[8], const std::uint8_t* data, std::size_t blocks) {
  for (; blocks > 0; --blocks, data += 128) {
    // The schedule as a ring of 16 words, each extended just before its round.
    std::uint64_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = loadBigEndian64(data + 8 * i);
    sha512Rounds(state, [&w](int i, int j) {
      if (i > 0) {
        const std::uint64_t w15 = w[(j + 1) & 15], w2 = w[(j + 14) & 15];
        w[j] += (rotr64(w15, 1) ^ rotr64(w15, 8) ^ (w15 >> 7)) + w[(j + 9) & 15] +
                (rotr64(w2, 19) ^ rotr64(w2, 61) ^ (w2 >> 6));
      }
      return kSha512RoundConstants[i + j] + w[j];
    });
  }
}

}  // namespace tu
