// Which instruction-set extensions the processor (and, for AVX, the system) offers. Kept apart
// from the accelerated files so that these checks are compiled for the baseline instruction set.
#include <cpuid.h>

#include "crypto/sha256_internal.h"
#include "crypto/sha512_internal.h"

namespace tu {
namespace {

struct CpuFeatures {
  bool shaNi = false;
  bool avx2Bmi2 = false;
};

CpuFeatures detect() {
  CpuFeatures features;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return features;
  const bool ssse3 = (ecx & bit_SSSE3) != 0;
  const bool sse41 = (ecx & bit_SSE4_1) != 0;
  bool ymmSaved = false;
  if ((ecx & bit_OSXSAVE) != 0) {
    unsigned xcr0Low = 0, xcr0High = 0;
    __asm__ volatile("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
    ymmSaved = (xcr0Low & 6) == 6;  // the system saves XMM and YMM state
  }
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return features;
  features.shaNi = ssse3 && sse41 && (ebx & (1u << 29)) != 0;
  features.avx2Bmi2 =
      ymmSaved && (ebx & (1u << 5)) != 0 && (ebx & (1u << 3)) != 0 && (ebx & (1u << 8)) != 0;
  return features;
}

const CpuFeatures& features() {
  static const CpuFeatures detected = detect();
  return detected;
}

}  // namespace

bool sha256ShaNiAvailable() {
  return features().shaNi;
}
bool sha512Avx2Available() {
  return features().avx2Bmi2;
}

}  // namespace tu
