// SHA-256 through each block function and SHA-512, against the NIST CAVP byte vectors, whole
// and in pieces.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "crypto/sha256.h"
#include "crypto/sha256_internal.h"
#include "crypto/sha512.h"
#include "crypto/sha512_internal.h"
#include "vectors.h"

namespace tu {
namespace {

using test::Bytes;
using test::rspValues;

// One hasher of any kind; final() leaves it ready for the next message.
struct Hasher {
  std::function<void(const void*, std::size_t)> update;
  std::function<std::string()> finish;  // the digest in hexadecimal
};

template <class H>
Hasher hasher(H h) {
  auto state = std::make_shared<H>(h);
  return {[state](const void* data, std::size_t size) { state->update(data, size); },
          [state] {
            std::uint8_t digest[H::kDigestSize];
            state->final(digest);
            return hexEncode(digest, sizeof digest);
          }};
}

// One way of hashing, so every test runs over every path.
struct HashPath {
  std::string name;
  std::string vectors;  // the CAVP files' name before "ShortMsg.rsp"
  bool (*available)();  // null: every processor
  Hasher (*make)();
};

class HashPathTest : public testing::TestWithParam<HashPath> {
 protected:
  void SetUp() override {
    if (GetParam().available && !GetParam().available()) {
      GTEST_SKIP() << "this processor lacks the instructions of this path";
    }
  }
};

// Each message whole, then through one reused hasher in pieces: short ones (every length up to
// a block) split in two at every byte, long ones in pieces of sizes around the block size, so
// that pieces start and end at every offset.
TEST_P(HashPathTest, CavpMessagesWholeAndInPieces) {
  const std::size_t sizes[] = {0, 1, 63, 64, 65, 127, 128, 129, 3, 200};
  Hasher pieces = GetParam().make();
  for (const std::string kind : {"ShortMsg.rsp", "LongMsg.rsp"}) {
    const std::string file = "sha2/" + GetParam().vectors + kind;
    const auto lengths = rspValues(file, "Len"), messages = rspValues(file, "Msg");
    const auto digests = rspValues(file, "MD");
    ASSERT_GE(digests.size(), 64u) << file;
    for (std::size_t i = 0; i < digests.size(); ++i) {
      SCOPED_TRACE(kind + " entry " + std::to_string(i));
      const Bytes message = lengths[i] == "0" ? Bytes{} : test::fromHex(messages[i]);
      Hasher whole = GetParam().make();
      whole.update(message.data(), message.size());
      ASSERT_EQ(whole.finish(), digests[i]);
      if (kind == "ShortMsg.rsp") {
        for (std::size_t split = 0; split <= message.size(); ++split) {
          pieces.update(message.data(), split);
          pieces.update(message.data() + split, message.size() - split);
          ASSERT_EQ(pieces.finish(), digests[i]) << "split at " << split;
        }
        continue;
      }
      for (std::size_t at = 0, n = 0; at < message.size(); ++n) {
        const std::size_t take = std::min(sizes[n % 10], message.size() - at);
        pieces.update(message.data() + at, take);
        at += take;
      }
      ASSERT_EQ(pieces.finish(), digests[i]) << "in pieces";
    }
  }
}

// SHAVS Monte Carlo: MD_i = H(MD_(i-3) || MD_(i-2) || MD_(i-1)), 1000 steps per checkpoint.
// The first 20 of the 100 checkpoints (20,000 chained digests) keep the sanitizer build quick.
TEST_P(HashPathTest, CavpMonteCarlo) {
  const std::string file = "sha2/" + GetParam().vectors + "Monte.rsp";
  const auto checkpoints = rspValues(file, "MD");
  ASSERT_EQ(checkpoints.size(), 100u);
  std::string seed = rspValues(file, "Seed").at(0);
  Hasher hasher = GetParam().make();
  for (std::size_t checkpoint = 0; checkpoint < 20; ++checkpoint) {
    Bytes md[3] = {test::fromHex(seed), test::fromHex(seed), test::fromHex(seed)};
    for (int i = 3; i < 1003; ++i) {
      for (const Bytes& part : md) hasher.update(part.data(), part.size());
      md[0] = std::move(md[1]);
      md[1] = std::move(md[2]);
      md[2] = test::fromHex(hasher.finish());
    }
    seed = test::toHex(md[2]);
    ASSERT_EQ(seed, checkpoints[checkpoint]) << "checkpoint " << checkpoint;
  }
}

// The hasher that Sha256 and Sha512 pick is one of these.
INSTANTIATE_TEST_SUITE_P(
    Paths, HashPathTest,
    testing::Values(HashPath{"Sha256Portable", "SHA256", nullptr,
                             [] { return hasher(Sha256Paths::with(sha256BlocksPortable)); }},
                    HashPath{"Sha256ShaNi", "SHA256", sha256ShaNiAvailable,
                             [] { return hasher(Sha256Paths::with(sha256BlocksShaNi)); }},
                    HashPath{"Sha512Portable", "SHA512", nullptr,
                             [] { return hasher(Sha512Paths::with(sha512BlocksPortable)); }},
                    HashPath{"Sha512Avx2", "SHA512", sha512Avx2Available,
                             [] { return hasher(Sha512Paths::with(sha512BlocksAvx2)); }}),
    [](const testing::TestParamInfo<HashPath>& info) { return info.param.name; });

}  // namespace
}  // namespace tu
