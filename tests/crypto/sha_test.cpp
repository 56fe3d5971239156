// SHA-256 through each block function and SHA-512, against the NIST CAVP byte vectors and for
// the same digest whatever the input's chunking.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

#include "crypto/sha256.h"
#include "crypto/sha256_internal.h"
#include "crypto/sha512.h"
#include "crypto/sha512_internal.h"
#include "vectors.h"

namespace tu {
namespace {

using test::Bytes;
using test::toHex;

// One way of hashing, so every test runs over every path.
struct HashPath {
  std::string name;
  std::size_t digestSize;
  // Creates a fresh hasher object behind the three operations.
  struct Hasher {
    virtual ~Hasher() = default;
    virtual void update(const void* data, std::size_t size) = 0;
    virtual Bytes final() = 0;
  };
  std::unique_ptr<Hasher> (*make)();
};

void PrintTo(const HashPath& path, std::ostream* out) {
  *out << path.name;
}

template <class H>
struct HasherOf : HashPath::Hasher {
  explicit HasherOf(H h) : hasher(h) {}
  void update(const void* data, std::size_t size) override { hasher.update(data, size); }
  Bytes final() override {
    Bytes digest(H::kDigestSize);
    hasher.final(digest.data());
    return digest;
  }
  H hasher;
};

template <class H>
std::unique_ptr<HashPath::Hasher> picked() {
  return std::make_unique<HasherOf<H>>(H());
}
template <auto Blocks>
std::unique_ptr<HashPath::Hasher> sha256With() {
  return std::make_unique<HasherOf<Sha256>>(Sha256Paths::with(Blocks));
}
template <auto Blocks>
std::unique_ptr<HashPath::Hasher> sha512With() {
  return std::make_unique<HasherOf<Sha512>>(Sha512Paths::with(Blocks));
}

const HashPath kSha256Picked{"Sha256Picked", 32, picked<Sha256>};
const HashPath kSha256Portable{"Sha256Portable", 32, sha256With<sha256BlocksPortable>};
const HashPath kSha256ShaNi{"Sha256ShaNi", 32, sha256With<sha256BlocksShaNi>};
const HashPath kSha512Picked{"Sha512Picked", 64, picked<Sha512>};
const HashPath kSha512Portable{"Sha512Portable", 64, sha512With<sha512BlocksPortable>};
const HashPath kSha512Avx2{"Sha512Avx2", 64, sha512With<sha512BlocksAvx2>};

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
  bool isSha256() const { return GetParam().digestSize == 32; }
  Bytes digestOf(const Bytes& message) const {
    auto hasher = GetParam().make();
    hasher->update(message.data(), message.size());
    return hasher->final();
  }
};

Bytes randomBytes(std::mt19937& rng, std::size_t size) {
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

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
  auto hasher = GetParam().make();
  for (std::size_t checkpoint = 0; checkpoint < 20; ++checkpoint) {
    const Bytes& expected = monte.checkpoints[checkpoint];
    Bytes md[3] = {seed, seed, seed};
    for (int i = 3; i < 1003; ++i) {
      for (const Bytes& part : md) hasher->update(part.data(), part.size());
      Bytes next = hasher->final();
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

  auto hasher = GetParam().make();
  for (std::uint8_t b : message) hasher->update(&b, 1);
  EXPECT_EQ(toHex(hasher->final()), toHex(expected)) << "byte by byte";

  // Pieces of sizes around the block size, so that pieces start and end at every offset.
  const std::size_t sizes[] = {0, 1, 63, 64, 65, 127, 128, 129, 3, 200};
  std::size_t at = 0;
  for (std::size_t n = 0; at < message.size(); ++n) {
    const std::size_t take = std::min(sizes[n % 10], message.size() - at);
    hasher->update(message.data() + at, take);
    at += take;
  }
  EXPECT_EQ(toHex(hasher->final()), toHex(expected)) << "straddling pieces";

  // Every split of a shorter message into two pieces.
  const Bytes shorter(message.begin(), message.begin() + 300);
  const Bytes shorterDigest = digestOf(shorter);
  for (std::size_t split = 0; split <= shorter.size(); ++split) {
    hasher->update(shorter.data(), split);
    hasher->update(shorter.data() + split, shorter.size() - split);
    ASSERT_EQ(toHex(hasher->final()), toHex(shorterDigest)) << "split at " << split;
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
