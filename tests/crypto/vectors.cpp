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

std::vector<JsonField> readJsonFields(std::string_view relative) {
  const std::string text = readTestData(relative);
  std::vector<JsonField> fields;
  std::size_t i = 0;
  // Reads the string that starts at text[i] == '"', leaving i after its closing quote. The
  // vector files escape nothing that matters here, so escapes are kept as written.
  auto readString = [&]() {
    std::string s;
    for (++i; i < text.size() && text[i] != '"'; ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) s += text[i++];
      s += text[i];
    }
    ++i;
    return s;
  };
  auto skipSpace = [&]() {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  };
  while (i < text.size()) {
    if (text[i] != '"') {
      ++i;
      continue;
    }
    std::string key = readString();
    skipSpace();
    if (i >= text.size() || text[i] != ':') continue;  // a string in an array, not a key
    ++i;
    skipSpace();
    if (i < text.size() && text[i] == '"') {
      fields.push_back({key, readString()});
    } else {
      std::string number;
      while (i < text.size() &&
             (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '-')) {
        number += text[i++];
      }
      if (!number.empty()) fields.push_back({key, number});
    }
  }
  return fields;
}

}  // namespace tu::test
