// The two SHA-512 block functions behind `Sha512`, exposed so that tests and benchmarks can run
// each of them whichever one this machine would pick.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/sha512.h"

namespace tu {

// Hashes `blocks` whole 128-byte blocks into the eight chaining words.
using Sha512BlockFunction = void (*)(std::uint64_t state[8], const std::uint8_t* data,
                                     std::size_t blocks);

void sha512BlocksPortable(std::uint64_t state[8], const std::uint8_t* data, std::size_t blocks);

// The AVX2 + BMI2 path; only call it when sha512Avx2Available() is true.
void sha512BlocksAvx2(std::uint64_t state[8], const std::uint8_t* data, std::size_t blocks);

// True when this build has the AVX2 path, the processor has AVX2, BMI1 and BMI2 (CPUID leaf 7
// EBX bits 5, 3 and 8) and the system saves the vector registers (OSXSAVE, XCR0). Queried once.
bool sha512Avx2Available();

// The block function `Sha512` uses.
Sha512BlockFunction sha512SelectedBlockFunction();

// A hasher that uses the given block function instead of the one picked at run time.
class Sha512Paths {
 public:
  static Sha512 with(Sha512BlockFunction blocks) { return Sha512(blocks); }
};

}  // namespace tu
