// Ed25519 signature verification (RFC 8032, pure Ed25519). Public data only, so variable-time
// arithmetic is fine here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tu {

// True when `signature` (R || S) is valid for the message under `publicKey`: byte 63 below 32,
// the key decodes as a point (RFC 8032 section 5.1.3 in full: y < p, a square root exists, and
// not x = 0 with the sign bit set), and the encoding of [S]B - [k]A equals R in all 32 bytes,
// with k = SHA-512(R || A || message) mod L.
bool ed25519Verify(const std::uint8_t signature[64], const std::uint8_t* message,
                   std::size_t messageSize, const std::uint8_t publicKey[32]);

}  // namespace tu
