// Randomized comparison with libsodium and OpenSSL (native builds only), seeded so that a
// failure repeats.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sodium.h>

#include <random>

#include "crypto/ed25519.h"
#include "crypto/ed25519_impl.h"
#include "crypto/ed25519_sign.h"
#include "crypto/field25.h"
#include "crypto/sha256.h"
#include "crypto/sha256_internal.h"
#include "crypto/sha512.h"
#include "crypto/sha512_internal.h"
#include "vectors.h"

namespace tu {
namespace {

namespace internal = ed25519_internal;
using test::Bytes;
using test::randomBytes;
using test::toHex;

Bytes openSsl(const EVP_MD* md, const Bytes& message) {
  Bytes digest(EVP_MD_size(md));
  unsigned int size = 0;
  EXPECT_EQ(EVP_Digest(message.data(), message.size(), digest.data(), &size, md, nullptr), 1);
  return digest;
}

// Feeds the message in random pieces, so the buffering is compared too.
template <class H>
Bytes inPieces(H hasher, const Bytes& message, std::mt19937& rng) {
  std::size_t at = 0;
  while (at < message.size()) {
    const std::size_t take = std::min<std::size_t>(rng() % 300, message.size() - at);
    hasher.update(message.data() + at, take);
    at += take;
  }
  Bytes digest(H::kDigestSize);
  hasher.final(digest.data());
  return digest;
}

TEST(Oracle, ShaMatchesOpenSslOnRandomMessages) {
  std::mt19937 rng(180);
  for (int round = 0; round < 300; ++round) {
    const Bytes message = randomBytes(rng, rng() % 5000);
    const std::string sha256 = toHex(openSsl(EVP_sha256(), message));
    const std::string sha512 = toHex(openSsl(EVP_sha512(), message));
    EXPECT_EQ(toHex(inPieces(Sha256Paths::with(sha256BlocksPortable), message, rng)), sha256);
    if (sha256ShaNiAvailable()) {
      EXPECT_EQ(toHex(inPieces(Sha256Paths::with(sha256BlocksShaNi), message, rng)), sha256);
    }
    EXPECT_EQ(toHex(inPieces(Sha512Paths::with(sha512BlocksPortable), message, rng)), sha512);
    if (sha512Avx2Available()) {
      EXPECT_EQ(toHex(inPieces(Sha512Paths::with(sha512BlocksAvx2), message, rng)), sha512);
    }
  }
}

// Random keys and messages: our keys and signatures are libsodium's and both verifiers accept
// them. Changed signatures are EveryOneByteChangeIsRejected's.
TEST(Oracle, Ed25519KeysAndSignaturesMatchLibsodium) {
  ASSERT_GE(sodium_init(), 0);
  std::mt19937 rng(1032);
  for (int round = 0; round < 90; ++round) {
    const Bytes seed = randomBytes(rng, 32);
    const Bytes message = randomBytes(rng, rng() % 400);
    std::uint8_t key[32], secret[64], signature[64], ours[96];
    crypto_sign_seed_keypair(key, secret, seed.data());
    crypto_sign_detached(signature, nullptr, message.data(), message.size(), secret);
    const std::string sodium = hexEncode(key, 32) + hexEncode(signature, 64);
    ed25519PublicKey(seed.data(), ours);
    ed25519Sign(seed.data(), message.data(), message.size(), ours + 32);
    EXPECT_EQ(hexEncode(ours, 96), sodium);
    EXPECT_TRUE(ed25519Verify(signature, message.data(), message.size(), key));
    if (round % 4 == 0) {  // the 25.5-bit field is slow unoptimised: a quarter of them
      internal::publicKeyWith<internal::Field25>(seed.data(), ours);
      internal::signWith<internal::Field25>(seed.data(), message.data(), message.size(), ours + 32);
      EXPECT_EQ(hexEncode(ours, 96), sodium) << "25.5-bit limbs";
      EXPECT_TRUE(
          internal::verifyWith<internal::Field25>(signature, message.data(), message.size(), key));
    }
  }
}

}  // namespace
}  // namespace tu
