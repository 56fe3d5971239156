// Readers for the committed test vectors: NIST CAVP .rsp files and the Ed25519 JSON files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/files.h"
#include "core/json.h"
#include "support/test_data.h"

namespace tu::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes fromHex(std::string_view hex) {
  Bytes out;
  EXPECT_TRUE(hexDecode(hex, out)) << hex;
  return out;
}
inline std::string toHex(const Bytes& data) {
  return hexEncode(data.data(), data.size());
}

inline Bytes randomBytes(std::mt19937& rng, std::size_t size) {
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

// The values of every "key = value" line of a CAVP .rsp file, in order (LF or CRLF lines).
inline std::vector<std::string> rspValues(std::string_view relative, std::string_view key) {
  std::istringstream in(readTestData(relative));
  std::vector<std::string> values;
  const std::string prefix = std::string(key) + " = ";
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with(prefix)) values.push_back(line.substr(prefix.size()));
  }
  return values;
}

inline Json readJsonData(std::string_view relative) {
  std::string error;
  Json document = Json::parse(readTestData(relative), &error);
  EXPECT_EQ(error, "") << relative;
  return document;
}

}  // namespace tu::test
