// Hand-made packed files and digests for the update tests.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/files.h"
#include "crypto/sha256.h"

namespace tu::test {

inline std::string sha256Hex(std::string_view data) {
  Sha256 hasher;
  hasher.update(data.data(), data.size());
  std::uint8_t digest[Sha256::kDigestSize];
  hasher.final(digest);
  return hexEncode(digest, sizeof digest);
}

inline std::string deflated(std::string_view data) {
  uLongf length = compressBound(static_cast<uLong>(data.size()));
  std::string out(length, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &length,
            reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()), 9);
  out.resize(length);
  return out;
}

inline void putLe(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
}

struct CraftedBlock {
  bool raw;
  std::string stored;
  std::uint32_t lengthOverride = 0;  // table length when not 0 (to lie about it)
};

// Header, table and blocks exactly as given, so that tests can make every kind of damage.
inline std::string craftPacked(std::uint64_t size, std::uint32_t blockSize, std::uint32_t count,
                               const std::vector<CraftedBlock>& blocks) {
  std::string out("TZ1\0", 4);
  putLe(out, size, 8);
  putLe(out, blockSize, 4);
  putLe(out, count, 4);
  for (const CraftedBlock& block : blocks) {
    const std::uint32_t length = block.lengthOverride
                                     ? block.lengthOverride
                                     : static_cast<std::uint32_t>(block.stored.size());
    putLe(out, length | (block.raw ? 0x80000000u : 0u), 4);
  }
  for (const CraftedBlock& block : blocks) out += block.stored;
  return out;
}

}  // namespace tu::test
