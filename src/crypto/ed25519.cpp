#include "crypto/ed25519.h"

#include "crypto/ed25519_impl.h"
#include "crypto/field.h"

namespace tu {

bool ed25519Verify(const std::uint8_t signature[64], const std::uint8_t* message,
                   std::size_t messageSize, const std::uint8_t publicKey[32]) {
  return ed25519_internal::verifyWith<ed25519_internal::Field>(signature, message, messageSize,
                                                               publicKey);
}

}  // namespace tu
