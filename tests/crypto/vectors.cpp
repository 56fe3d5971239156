#include "vectors.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/test_data.h"

namespace tu::test {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "Key = value" lines; CRLF and LF files alike.
bool splitLine(std::string line, std::string& key, std::string& value) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const std::size_t equals = line.find(" = ");
  if (line.empty() || line[0] == '#' || line[0] == '[' || equals == std::string::npos) return false;
  key = line.substr(0, equals);
  value = line.substr(equals + 3);
  return true;
}

}  // namespace

Bytes fromHex(std::string_view hex) {
  Bytes out;
  EXPECT_EQ(hex.size() % 2, 0u) << hex;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int high = hexDigit(hex[i]), low = hexDigit(hex[i + 1]);
    EXPECT_TRUE(high >= 0 && low >= 0) << hex;
    out.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return out;
}

std::string toHex(const std::uint8_t* data, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

std::vector<HashVector> readHashVectors(std::string_view relative) {
  std::istringstream in(readTestData(relative));
  std::vector<HashVector> vectors;
  std::string line, key, value;
  long bits = -1;
  Bytes message;
  while (std::getline(in, line)) {
    if (!splitLine(line, key, value)) continue;
    if (key == "Len") bits = std::stol(value);
    if (key == "Msg") message = bits == 0 ? Bytes{} : fromHex(value);
    if (key == "MD") {
      EXPECT_EQ(static_cast<long>(message.size()) * 8, bits) << relative;
      vectors.push_back({message, fromHex(value)});
    }
  }
  return vectors;
}

MonteVectors readMonteVectors(std::string_view relative) {
  std::istringstream in(readTestData(relative));
  MonteVectors monte;
  std::string line, key, value;
  while (std::getline(in, line)) {
    if (!splitLine(line, key, value)) continue;
    if (key == "Seed") monte.seed = fromHex(value);
    if (key == "MD") monte.checkpoints.push_back(fromHex(value));
  }
  return monte;
}

Json readJsonData(std::string_view relative) {
  std::string error;
  Json document = Json::parse(readTestData(relative), &error);
  EXPECT_EQ(error, "") << relative;
  return document;
}

}  // namespace tu::test
