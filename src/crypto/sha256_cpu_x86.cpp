// Whether the processor has the SHA extensions. Kept apart from sha256_shani.cpp so that this
// check itself is compiled for the baseline instruction set.
#include <cpuid.h>

#include "crypto/sha256_internal.h"

namespace tu {

bool sha256ShaNiAvailable() {
  static const bool available = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
    const bool ssse3 = (ecx & bit_SSSE3) != 0;
    const bool sse41 = (ecx & bit_SSE4_1) != 0;
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return false;
    const bool sha = (ebx & (1u << 29)) != 0;
    return ssse3 && sse41 && sha;
  }();
  return available;
}

}  // namespace tu
