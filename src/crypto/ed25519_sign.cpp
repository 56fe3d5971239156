#include "crypto/ed25519_sign.h"

#include "crypto/ed25519_impl.h"
#include "crypto/field.h"

namespace tu {

void ed25519PublicKey(const std::uint8_t seed[32], std::uint8_t publicKey[32]) {
  ed25519_internal::publicKeyWith<ed25519_internal::Field>(seed, publicKey);
}

void ed25519Sign(const std::uint8_t seed[32], const std::uint8_t* message, std::size_t messageSize,
                 std::uint8_t signature[64]) {
  ed25519_internal::signWith<ed25519_internal::Field>(seed, message, messageSize, signature);
}

}  // namespace tu
