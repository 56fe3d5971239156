// Throughput of SHA-256 and SHA-512 on 1 MiB buffers and the time of one Ed25519 verification,
// ours against OpenSSL's EVP digests and libsodium's crypto_sign_verify_detached.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <sodium.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "crypto/ed25519.h"
#include "crypto/ed25519_impl.h"
#include "crypto/ed25519_sign.h"
#include "crypto/field25.h"
#include "crypto/sha256.h"
#include "crypto/sha256_internal.h"
#include "crypto/sha512.h"

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

const std::vector<std::uint8_t>& buffer() {
  static const std::vector<std::uint8_t> data = [] {
    std::vector<std::uint8_t> bytes(kBufferSize);
    std::mt19937 rng(1);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    return bytes;
  }();
  return data;
}

template <class Hasher>
void hashBuffer(benchmark::State& state, Hasher hasher) {
  const auto& data = buffer();
  std::uint8_t digest[Hasher::kDigestSize];
  for (auto _ : state) {
    hasher.update(data.data(), data.size());
    hasher.final(digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBufferSize);
}

void evpBuffer(benchmark::State& state, const EVP_MD* md) {
  const auto& data = buffer();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  for (auto _ : state) {
    EVP_DigestInit_ex(context, md, nullptr);
    EVP_DigestUpdate(context, data.data(), data.size());
    EVP_DigestFinal_ex(context, digest, &size);
    benchmark::DoNotOptimize(digest);
  }
  EVP_MD_CTX_free(context);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBufferSize);
}

void Sha256Accelerated(benchmark::State& state) {
  if (!tu::sha256ShaNiAvailable()) {
    state.SkipWithError("no SHA extensions on this processor");
    return;
  }
  hashBuffer(state, tu::Sha256Paths::with(tu::sha256BlocksShaNi));
}
void Sha256Portable(benchmark::State& state) {
  hashBuffer(state, tu::Sha256Paths::with(tu::sha256BlocksPortable));
}
void Sha256OpenSsl(benchmark::State& state) {
  evpBuffer(state, EVP_sha256());
}
void Sha512Ours(benchmark::State& state) {
  hashBuffer(state, tu::Sha512());
}
void Sha512OpenSsl(benchmark::State& state) {
  evpBuffer(state, EVP_sha512());
}

// A fixed signed message of 256 bytes, as a manifest-sized check would hash its own length.
struct Signed {
  std::uint8_t publicKey[32];
  std::uint8_t signature[64];
  std::vector<std::uint8_t> message;
  Signed() : message(256) {
    std::uint8_t seed[32];
    std::mt19937 rng(2);
    for (auto& b : seed) b = static_cast<std::uint8_t>(rng());
    for (auto& b : message) b = static_cast<std::uint8_t>(rng());
    tu::ed25519PublicKey(seed, publicKey);
    tu::ed25519Sign(seed, message.data(), message.size(), signature);
  }
};

void Ed25519VerifyOurs(benchmark::State& state) {
  const Signed s;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        tu::ed25519Verify(s.signature, s.message.data(), s.message.size(), s.publicKey));
  }
}
void Ed25519VerifyOursLimbs25(benchmark::State& state) {
  const Signed s;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tu::ed25519_internal::verifyWith<tu::ed25519_internal::Field25>(
        s.signature, s.message.data(), s.message.size(), s.publicKey));
  }
}
void Ed25519VerifySodium(benchmark::State& state) {
  if (sodium_init() < 0) {
    state.SkipWithError("sodium_init failed");
    return;
  }
  const Signed s;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        crypto_sign_verify_detached(s.signature, s.message.data(), s.message.size(), s.publicKey));
  }
}
void Ed25519SignOurs(benchmark::State& state) {
  const Signed s;
  std::uint8_t seed[32] = {7}, signature[64];
  for (auto _ : state) {
    tu::ed25519Sign(seed, s.message.data(), s.message.size(), signature);
    benchmark::DoNotOptimize(signature);
  }
}

// With --benchmark_repetitions, "min" is the figure least disturbed by other load on the machine.
double minimum(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

BENCHMARK(Sha256Accelerated)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);
BENCHMARK(Sha256Portable)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);
BENCHMARK(Sha256OpenSsl)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);
BENCHMARK(Sha512Ours)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);
BENCHMARK(Sha512OpenSsl)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);
BENCHMARK(Ed25519VerifyOurs)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);
BENCHMARK(Ed25519VerifyOursLimbs25)
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK(Ed25519VerifySodium)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);
BENCHMARK(Ed25519SignOurs)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);

}  // namespace

BENCHMARK_MAIN();
