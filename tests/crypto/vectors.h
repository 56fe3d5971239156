// Readers for the committed test vectors: NIST CAVP .rsp files and the Ed25519 JSON files.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/json.h"

namespace tu::test {

using Bytes = std::vector<std::uint8_t>;

// Hexadecimal to bytes; fails the test on a malformed string.
Bytes fromHex(std::string_view hex);
std::string toHex(const std::uint8_t* data, std::size_t size);
inline std::string toHex(const Bytes& data) {
  return toHex(data.data(), data.size());
}

inline Bytes randomBytes(std::mt19937& rng, std::size_t size) {
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

// One "Len / Msg / MD" entry of a CAVP ShortMsg or LongMsg file (Len = 0 means empty).
struct HashVector {
  Bytes message;
  Bytes digest;
};
std::vector<HashVector> readHashVectors(std::string_view relative);

// A CAVP Monte Carlo file: the seed and the checkpoint digests, COUNT 0 upwards.
struct MonteVectors {
  Bytes seed;
  std::vector<Bytes> checkpoints;
};
MonteVectors readMonteVectors(std::string_view relative);

// A committed JSON file, parsed; fails the test when it does not parse.
Json readJsonData(std::string_view relative);

}  // namespace tu::test
