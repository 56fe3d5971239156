#include "core/json.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace tu {
namespace {

// The parser's message for `text`, or "<ok>" when it parses; the result must then be null.
std::string parseError(std::string_view text) {
  std::string error = "<ok>";
  const Json value = Json::parse(text, &error);
  if (error != "<ok>") {
    EXPECT_TRUE(value.isNull()) << text;
  }
  return error;
}

std::string parsedString(std::string_view text) {
  std::string error;
  const Json value = Json::parse(text, &error);
  EXPECT_TRUE(value.isString()) << text << ": " << error;
  return value.asString();
}

double parsedNumber(std::string_view text) {
  const Json value = Json::parse(text);
  EXPECT_TRUE(value.isNumber()) << text;
  return value.asNumber();
}

TEST(JsonParse, EveryMessageWithItsOffset) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "unexpected end at offset 0"}, {" \t\r\n", "unexpected end at offset 4"},
      {"[", "unexpected end at offset 1"}, {"{\"a\":1,}", "expected key at offset 7"},
      {"{", "expected key at offset 1"}, {"{1:2}", "expected key at offset 1"},
      {"{\"a\":1, ", "expected key at offset 8"}, {"{\"a\" 1}", "expected ':' at offset 5"},
      {"{\"a\":1 2}", "expected ',' or '}' at offset 7"},
      {"{\"a\":1", "expected ',' or '}' at offset 6"}, {"[1 2]", "expected ',' or ']' at offset 3"},
      {"[1", "expected ',' or ']' at offset 2"}, {"[1,]", "unexpected character at offset 3"},
      {"tru", "unexpected character at offset 0"}, {"+1", "unexpected character at offset 0"},
      {"\xEF\xBB\xBF{}", "unexpected character at offset 0"},
      {"[1,{\"d\":[x]}]", "unexpected character at offset 9"},
      {"true x", "trailing characters at offset 5"}, {"truex", "trailing characters at offset 4"},
      {"\"", "unterminated string at offset 1"}, {"\"abc", "unterminated string at offset 4"},
      {"\"ab\\", "unterminated string at offset 4"},
      {"\"\\u0041", "unterminated string at offset 7"},
      {"\"\\x\"", "bad escape at offset 3"}, {"\"\\u12\"", "bad \\u escape at offset 3"},
      {"\"\\u12G4\"", "bad \\u escape at offset 5"},
      {"\"\\uD83D\\uZZZZ\"", "bad \\u escape at offset 9"},
      // Literals are matched by their prefix.
      {"[truefalse]", "expected ',' or ']' at offset 5"},
      {"[true,nullnull]", "expected ',' or ']' at offset 10"},
  };
  for (const auto& [text, error] : cases) EXPECT_EQ(parseError(text), error) << text;
}

TEST(JsonParse, AnyValueAtTheTopAndSuccessLeavesTheErrorTextAlone) {
  std::string error = "before";
  EXPECT_TRUE(Json::parse(" {\"a\" : [ 1 , true , null ] } ", &error).isObject());
  EXPECT_EQ(error, "before");
  EXPECT_TRUE(Json::parse("null").isNull() && Json::parse("true").asBool() &&
              Json::parse("false").isBool());
  EXPECT_EQ(parsedString("\"s\""), "s");
}

TEST(JsonParse, NumberTokensFollowStrtod) {
  EXPECT_EQ(parsedNumber("01"), 1);
  EXPECT_EQ(parsedNumber("1.2.3"), 1.2);
  EXPECT_EQ(parsedNumber("-"), 0);
  EXPECT_EQ(parsedNumber("1e"), 1);
  EXPECT_EQ(parsedNumber("2-3"), 2);
  EXPECT_EQ(parsedNumber("-2.5e-3"), -0.0025);
  EXPECT_TRUE(std::signbit(parsedNumber("-0")));
  EXPECT_EQ(parsedNumber("1e400"), std::numeric_limits<double>::infinity());
  // The token ends at the first byte that cannot belong to a number.
  EXPECT_EQ(Json::parse("[1e,-,2-3]").dump(), "[1,0,2]");
  EXPECT_EQ(parseError("0x10"), "trailing characters at offset 1");
  // Overflow to infinity is written as 0.
  EXPECT_EQ(Json::parse("[1e999,-1e999]").dump(), "[0,0]");
}

TEST(JsonParse, NumbersIgnoreTheLocale) {
  const char* locales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "German_Germany.1252",
                           "German"};
  const char* found = nullptr;
  for (const char* name : locales) {
    char sample[16] = "";
    if (std::setlocale(LC_NUMERIC, name)) std::snprintf(sample, sizeof sample, "%.1f", 0.5);
    if (std::string(sample) == "0,5") {
      found = name;
      break;
    }
  }
  if (!found) GTEST_SKIP() << "no locale with a decimal comma installed";
  const double parsed = Json::parse("1.5").asNumber();
  const std::string written = Json(2.5).dump();
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(parsed, 1.5) << found;
  EXPECT_EQ(written, "2.5") << found;
}

// Raw bytes are taken as they are, control bytes and non-UTF-8 included. A lone surrogate is
// written as it is; a high surrogate pairs only with a low one that follows, and another escape
// after it keeps its own character.
TEST(JsonParse, EscapesAndSurrogates) {
  const std::pair<std::string, std::string> cases[] = {
      {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
      {R"("\u0041\u00e9\u20AC")", "A\xC3\xA9\xE2\x82\xAC"},
      {R"("a\u0000b")", std::string("a\0b", 3)},
      {"\"a\tb\x01\xFF\"", "a\tb\x01\xFF"},
      {R"("\uD83D\uDE00")", "\xF0\x9F\x98\x80"},
      {R"("\udbff\udfff")", "\xF4\x8F\xBF\xBF"},
      {R"("\uD83D")", "\xED\xA0\xBD"},
      {R"("\uDE00")", "\xED\xB8\x80"},
      {R"("\uD83D\u0041")", "\xED\xA0\xBD" "A"},
      {R"("\uD83D\uD83D\uDE00")", "\xED\xA0\xBD\xF0\x9F\x98\x80"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(parsedString(text), expected) << text;
}

TEST(JsonParse, DepthLimitIs64) {
  const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  EXPECT_TRUE(Json::parse(nested(64)).isArray());
  EXPECT_EQ(parseError(nested(65)), "too deep at offset 64");
  std::string objects;
  for (int i = 0; i < 65; ++i) objects += "{\"a\":";
  EXPECT_EQ(parseError(objects), "too deep at offset 320");
  // Finished values give their depth back: siblings may each go 63 levels below the top.
  EXPECT_TRUE(Json::parse("[" + nested(63) + "," + nested(63) + "]").isArray());
}

TEST(JsonParse, RepeatedKeyReplacesTheValueInTheFirstPlace) {
  const Json value = Json::parse(R"({"a":1,"b":2,"a":{"x":3}})");
  ASSERT_EQ(value.members().size(), 2u);
  EXPECT_EQ(value.dump(), R"({"a":{"x":3},"b":2})");
  EXPECT_EQ(parseError(R"({"a":1,"a":[})"), "unexpected character at offset 12");
}

TEST(JsonDump, Numbers) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    std::string text;
  } cases[] = {
      {5, "5"}, {2.5, "2.5"}, {1.0 / 3, "0.3333333333"}, {3.0, "3"}, {-0.0, "0"},
      {1e16, "1e+16"}, {9007199254740992.0, "9.007199255e+15"}, {1234567890.25, "1234567890"},
      {8999999999999999.0, "8999999999999999"}, {9e15, "9e+15"}, {1e-7, "1e-07"},
      // Not a number and the infinities have no JSON form.
      {std::nan(""), "0"}, {inf, "0"}, {-inf, "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Json(c.value).dump(), c.text) << c.value;
  EXPECT_EQ(Json(std::uint64_t{18446744073709551615u}).dump(), "1.844674407e+19");
  EXPECT_EQ(Json(std::int64_t{-42}).dump(), "-42");
}

TEST(JsonDump, StringEscapesByteByByte) {
  std::string all;
  for (int c = 0; c < 0x20; ++c) all += static_cast<char>(c);
  EXPECT_EQ(Json(all).dump(),
            "\"\\u0000\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\u0008\\t\\n\\u000b"
            "\\u000c\\r\\u000e\\u000f\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016\\u0017"
            "\\u0018\\u0019\\u001a\\u001b\\u001c\\u001d\\u001e\\u001f\"");
  EXPECT_EQ(Json("q\"b\\s/\x7F\xC3\xA9\xFF").dump(), "\"q\\\"b\\\\s/\x7F\xC3\xA9\xFF\"");
  // A raw tab read from a document is written back escaped.
  EXPECT_EQ(Json::parse("\"a\tb\x01\"").dump(), "\"a\\tb\\u0001\"");
}

TEST(JsonDump, CompactAndPrettyLayout) {
  const Json value = Json::parse(R"({"a":1,"b":[1,2],"c":{},"d":[],"e":{"f":null}})");
  EXPECT_EQ(value.dump(), R"({"a":1,"b":[1,2],"c":{},"d":[],"e":{"f":null}})");
  EXPECT_EQ(value.dump(true),
            "{\n  \"a\": 1,\n  \"b\": [\n    1,\n    2\n  ],\n  \"c\": {},\n  \"d\": [],\n"
            "  \"e\": {\n    \"f\": null\n  }\n}");
}

// Lookups never fail and never insert; setting and pushing turn other kinds into containers;
// copies are deep.
TEST(JsonAccess, LookupsSetsPushesAndCopies) {
  const Json list = Json::parse("[1,\"two\",3]");
  EXPECT_TRUE(list.get("a").isNull());
  EXPECT_TRUE(list.at(5).isNull());
  EXPECT_EQ(list.at(1).asString(), "two");
  EXPECT_TRUE(Json("text").get("a").isNull());
  const Json object = Json::parse(R"({"s":"x","n":-2.9,"b":false,"A":1})");
  EXPECT_TRUE(object.get("a").isNull());  // keys are case-sensitive
  EXPECT_FALSE(object.has("missing"));
  EXPECT_EQ(object.members().size(), 4u);
  EXPECT_EQ(object.getString("n", "fallback"), "fallback");
  EXPECT_EQ(object.getInt64("n", 7), -2);
  EXPECT_EQ(object.getInt64("s", 7), 7);
  EXPECT_TRUE(object.getBool("n", true));

  Json value(5);
  value.set("k", "v");
  value.set("a", 1);
  value.set("k", Json::array());
  EXPECT_EQ(value.dump(), R"({"k":[],"a":1})");
  value.push(true);
  value.push(nullptr);
  EXPECT_EQ(value.dump(), "[true,null]");
  Json copy = value;
  copy.push(2);
  EXPECT_EQ(value.dump(), "[true,null]");
}

// Many members, so lookups go through the object's index: it must follow replacement, copies
// and moves, and the parser's repeated-key rule must hold through it.
TEST(JsonLargeObject, LookupsReplacementOrderAndCopies) {
  const auto key = [](int i) { return "path/to/file" + std::to_string(i) + ".ext"; };
  constexpr int kCount = 50000;
  Json object = Json::object();
  for (int i = 0; i < kCount; ++i) object.set(key(i), i);
  object.set(key(25000), "replaced");
  ASSERT_EQ(object.members().size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(object.members()[i].first, key(i));
    ASSERT_EQ(object.get(key(i)).dump(), i == 25000 ? "\"replaced\"" : std::to_string(i));
  }
  EXPECT_TRUE(object.get(key(kCount)).isNull());

  Json copy = object;
  copy.set(key(7), "copy");
  copy.set("new", true);
  const Json moved = std::move(copy);
  EXPECT_EQ(moved.get(key(7)).asString() + moved.members().back().first, "copynew");
  EXPECT_EQ(moved.get(key(49999)).asNumber(), 49999);
  EXPECT_TRUE(object.get(key(7)).asNumber() == 7 && !object.has("new"));

  std::string text = object.dump();
  text.back() = ',';
  const Json parsed = Json::parse(text + "\"" + key(3) + "\":\"again\"}");
  EXPECT_EQ(parsed.members().size(), static_cast<std::size_t>(kCount));
  EXPECT_EQ(parsed.members()[3].second.asString() + parsed.get(key(3)).asString(), "againagain");
}

TEST(TruncateToInt64, DefinedForEveryDouble) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<double, std::int64_t> cases[] = {
      {1e300, kMax}, {-1e30, kMin}, {std::nan(""), 0}, {inf, kMax}, {-inf, kMin}, {-0.5, 0},
      {2106.9, 2106}, {-1.9, -1}, {9223372036854775808.0, kMax},  // 2^63
      {-9223372036854775808.0, kMin},                             // -2^63 is in range
      {9223372036854774784.0, 9223372036854774784}};              // below 2^63
  for (const auto& [value, expected] : cases) EXPECT_EQ(truncateToInt64(value), expected) << value;
  EXPECT_EQ(Json::parse(R"({"size":1e300})").getInt64("size", 0), kMax);
}

}  // namespace
}  // namespace tu
