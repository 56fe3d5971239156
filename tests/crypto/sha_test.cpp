// SHA-256 through each block function and SHA-512, against the NIST CAVP byte vectors and for
// the same digest whatever the input's chunking.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <variant>

#include "crypto/sha256.h"
#include "crypto/sha256_internal.h"
#include "crypto/sha512.h"
#include "crypto/sha512_internal.h"
#include "vectors.h"

namespace tu {
namespace {

using test::Bytes;
using test::randomBytes;
using test::toHex;

// One way of hashing, so every test runs over every path.
using Hasher = std::variant<Sha256, Sha512>;
struct HashPath {
  std::string name;
  Hasher (*make)();
};

void PrintTo(const HashPath& path, std::ostream* out) {
  *out << path.name;
}

void update(Hasher& hasher, const void* data, std::size_t size) {
  std::visit([&](auto& h) { h.update(data, size); }, hasher);
}
Bytes finish(Hasher& hasher) {
  return std::visit(
      [](auto& h) {
        Bytes digest(std::decay_t<decltype(h)>::kDigestSize);
        h.final(digest.data());
        return digest;
      },
      hasher);
}

const HashPath kSha256Picked{"Sha256Picked", [] { return Hasher(Sha256()); }};
const HashPath kSha256Portable{"Sha256Portable",
                               [] { return Hasher(Sha256Paths::with(sha256BlocksPortable)); }};
const HashPath kSha256ShaNi{"Sha256ShaNi",
                            [] { return Hasher(Sha256Paths::with(sha256BlocksShaNi)); }};
const HashPath kSha512Picked{"Sha512Picked", [] { return Hasher(Sha512()); }};
const HashPath kSha512Portable{"Sha512Portable",
                               [] { return Hasher(Sha512Paths::with(sha512BlocksPortable)); }};
const HashPath kSha512Avx2{"Sha512Avx2",
                           [] { return Hasher(Sha512Paths::with(sha512BlocksAvx2)); }};

class HashPathTest : public testing::TestWithParam<HashPath> {
 protected:
  void SetUp() override {
    if (GetParam().name == "Sha256ShaNi" && !sha256ShaNiAvailable()) {
      GTEST_SKIP() << "this processor has no SHA extensions";
    }
    if (GetParam().name == "Sha512Avx2" && !sha512Avx2Available()) {
      GTEST_SKIP() << "this processor has no AVX2 and BMI2";
    }
  }
  bool isSha256() const { return GetParam().name.starts_with("Sha256"); }
  Bytes digestOf(const Bytes& message) const {
    Hasher hasher = GetParam().make();
    update(hasher, message.data(), message.size());
    return finish(hasher);
  }
};

TEST_P(HashPathTest, CavpShortAndLongMessages) {
  const std::string prefix = isSha256() ? "sha2/SHA256" : "sha2/SHA512";
  for (const char* kind : {"ShortMsg.rsp", "LongMsg.rsp"}) {
    const auto vectors = test::readHashVectors(prefix + kind);
    // ShortMsg: every length from 0 to one block; LongMsg: many blocks.
    const bool isShort = kind[0] == 'S';
    EXPECT_EQ(vectors.size(), isSha256() ? (isShort ? 65u : 64u) : (isShort ? 129u : 128u));
    for (std::size_t i = 0; i < vectors.size(); ++i) {
      EXPECT_EQ(toHex(digestOf(vectors[i].message)), toHex(vectors[i].digest))
          << kind << " entry " << i << ", " << vectors[i].message.size() << " bytes";
    }
  }
}

// SHAVS Monte Carlo: MD_i = H(MD_(i-3) || MD_(i-2) || MD_(i-1)), 1000 steps per checkpoint.
// The first 20 of the 100 checkpoints (20,000 chained digests) keep the sanitizer build quick.
// One hasher serves them all, so each digest also starts from the state final() left.
TEST_P(HashPathTest, CavpMonteCarlo) {
  const auto monte =
      test::readMonteVectors(isSha256() ? "sha2/SHA256Monte.rsp" : "sha2/SHA512Monte.rsp");
  ASSERT_EQ(monte.checkpoints.size(), 100u);
  Bytes seed = monte.seed;
  Hasher hasher = GetParam().make();
  for (std::size_t checkpoint = 0; checkpoint < 20; ++checkpoint) {
    const Bytes& expected = monte.checkpoints[checkpoint];
    Bytes md[3] = {seed, seed, seed};
    for (int i = 3; i < 1003; ++i) {
      for (const Bytes& part : md) update(hasher, part.data(), part.size());
      Bytes next = finish(hasher);
      md[0] = std::move(md[1]);
      md[1] = std::move(md[2]);
      md[2] = std::move(next);
    }
    seed = md[2];
    ASSERT_EQ(toHex(seed), toHex(expected)) << "checkpoint " << checkpoint;
  }
}

TEST_P(HashPathTest, ChunkingDoesNotChangeTheDigest) {
  std::mt19937 rng(2024);
  const Bytes message = randomBytes(rng, 1000);
  const Bytes expected = digestOf(message);

  Hasher hasher = GetParam().make();
  for (std::uint8_t b : message) update(hasher, &b, 1);
  EXPECT_EQ(toHex(finish(hasher)), toHex(expected)) << "byte by byte";

  // Pieces of sizes around the block size, so that pieces start and end at every offset.
  const std::size_t sizes[] = {0, 1, 63, 64, 65, 127, 128, 129, 3, 200};
  std::size_t at = 0;
  for (std::size_t n = 0; at < message.size(); ++n) {
    const std::size_t take = std::min(sizes[n % 10], message.size() - at);
    update(hasher, message.data() + at, take);
    at += take;
  }
  EXPECT_EQ(toHex(finish(hasher)), toHex(expected)) << "straddling pieces";

  // Every split of a shorter message into two pieces.
  const Bytes shorter(message.begin(), message.begin() + 300);
  const Bytes shorterDigest = digestOf(shorter);
  for (std::size_t split = 0; split <= shorter.size(); ++split) {
    update(hasher, shorter.data(), split);
    update(hasher, shorter.data() + split, shorter.size() - split);
    ASSERT_EQ(toHex(finish(hasher)), toHex(shorterDigest)) << "split at " << split;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, HashPathTest,
                         testing::Values(kSha256Picked, kSha256Portable, kSha256ShaNi,
                                         kSha512Picked, kSha512Portable, kSha512Avx2),
                         [](const testing::TestParamInfo<HashPath>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace tu
