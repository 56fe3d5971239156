// Ed25519 key derivation and deterministic signing (RFC 8032), for the staff tool and tests;
// never linked into the launcher. Constant-time in the secret: no branch, loop bound or table
// index depends on the seed or the secret scalar.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tu {

void ed25519PublicKey(const std::uint8_t seed[32], std::uint8_t publicKey[32]);
void ed25519Sign(const std::uint8_t seed[32], const std::uint8_t* message, std::size_t messageSize,
                 std::uint8_t signature[64]);

}  // namespace tu
