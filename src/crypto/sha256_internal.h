// The two SHA-256 block functions behind `Sha256`, exposed so that tests and benchmarks can run
// each of them whichever one this machine would pick.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/sha256.h"

namespace tu {

// Hashes `blocks` whole 64-byte blocks into the eight chaining words.
using Sha256BlockFunction = void (*)(std::uint32_t state[8], const std::uint8_t* data,
                                     std::size_t blocks);

// The round constants K of FIPS 180-4 section 4.2.2, shared by both block functions.
extern const std::uint32_t kSha256RoundConstants[64];

void sha256BlocksPortable(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);

// The x86 SHA extensions path; only call it when sha256ShaNiAvailable() is true.
void sha256BlocksShaNi(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);

// True when this build has the SHA extensions path and the processor supports it (CPUID leaf 7
// EBX bit 29, plus SSSE3 and SSE4.1). Queried once.
bool sha256ShaNiAvailable();

// The block function `Sha256` uses: the SHA extensions one when available, else the portable.
Sha256BlockFunction sha256SelectedBlockFunction();

// A hasher that uses the given block function instead of the one picked at run time.
class Sha256Paths {
 public:
  static Sha256 with(Sha256BlockFunction blocks) { return Sha256(blocks); }
};

}  // namespace tu
