#include "core/json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <tuple>

#include "core/files.h"

namespace tu {

namespace {

// Documents nest at most this deep; it also bounds the parser's recursion.
constexpr int kMaxDepth = 64;

// Objects up to this many members are scanned; bigger ones get the hash table.
constexpr std::size_t kScanLimit = 16;

static_assert(static_cast<std::size_t>(Json::Kind::Object) == 5, "Kind follows the variant");

const Json& sharedNull() {
  static const Json null;
  return null;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads the four hex digits at `at` into `value`. Returns null, or the first byte that is
// not a hex digit.
const char* readHex4(const char* at, std::uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    const int digit = hexDigitValue(at[i]);
    if (digit < 0) return at + i;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return nullptr;
}

std::size_t hashKey(std::string_view key) {
  return std::hash<std::string_view>{}(key);
}

void appendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The value of a number token by strtod's rules (the longest valid prefix counts, no valid
// prefix gives 0, overflow gives infinity), with '.' as the decimal point whatever the locale.
double numberValue(const char* begin, const char* end) {
  // Plain integers of up to 18 digits, nearly every number in our documents, convert exactly.
  const bool negative = *begin == '-';
  const char* digits = begin + (negative ? 1 : 0);
  if (end > digits && end - digits <= 18 && std::all_of(digits, end, isDigit)) {
    std::uint64_t n = 0;
    for (const char* p = digits; p != end; ++p) n = n * 10 + static_cast<unsigned>(*p - '0');
    const double value = static_cast<double>(n);
    return negative ? -value : value;
  }
  // strtod reads the locale's decimal point, so give it that one; it also needs a terminated
  // text that ends with the token (the bytes after it must not extend the number).
  char sample[16];
  std::snprintf(sample, sizeof sample, "%.1f", 0.5);
  const std::string_view point(sample + 1, std::strlen(sample) - 2);  // between "0" and "5"
  std::string token;
  token.reserve(static_cast<std::size_t>(end - begin) + 4);
  for (const char* p = begin; p != end; ++p) {
    if (*p == '.') {
      token += point;
    } else {
      token += *p;
    }
  }
  return std::strtod(token.c_str(), nullptr);
}

void appendNumber(std::string& out, double x) {
  if (!std::isfinite(x)) {
    out += '0';
    return;
  }
  // to_chars prints like printf in the "C" locale: "%lld" and "%.10g" with a '.' always.
  char buffer[64];
  std::to_chars_result result;
  if (x == std::floor(x) && std::fabs(x) < 9e15) {
    result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(x));
  } else {
    result = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general, 10);
  }
  out.append(buffer, result.ptr);
}

void appendQuoted(std::string& out, std::string_view text) {
  static const char hex[] = "0123456789abcdef";
  out += '"';
  std::size_t run = 0;  // start of the bytes not written yet
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text.data() + run, i - run);
    run = i + 1;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        out += "\\u00";
        out += hex[c >> 4];
        out += hex[c & 15];
    }
  }
  out.append(text.data() + run, text.size() - run);
  out += '"';
}

void newLine(std::string& out, int level) {
  out += '\n';
  out.append(2 * static_cast<std::size_t>(level), ' ');
}

}  // namespace

std::int64_t truncateToInt64(double value) {
  if (std::isnan(value)) return 0;
  // 2^63 is exact in a double; everything from there on saturates (and -2^63 is in range).
  if (value >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
  if (value < -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

// Reads one whole text into a Json, building values in place. Every failure stops at once,
// so the recorded message is the first one.
class JsonParser {
 public:
  explicit JsonParser(std::string_view text)
      : begin_(text.data()), end_(text.data() + text.size()), p_(begin_) {}

  bool parseDocument(Json& out) {
    if (!parseValue(out)) return false;
    skipWhitespace();
    if (p_ != end_) return fail("trailing characters");
    return true;
  }

  std::string message() const {
    return std::string(error_) + " at offset " + std::to_string(p_ - begin_);
  }

 private:
  bool fail(const char* message) {
    error_ = message;
    return false;
  }

  void skipWhitespace() {
    while (p_ != end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r')) ++p_;
  }

  bool startsWith(std::string_view literal) const {
    return static_cast<std::size_t>(end_ - p_) >= literal.size() &&
           std::memcmp(p_, literal.data(), literal.size()) == 0;
  }

  bool parseValue(Json& out) {
    if (++depth_ > kMaxDepth) return fail("too deep");
    skipWhitespace();
    if (p_ == end_) return fail("unexpected end");
    bool ok = true;
    if (*p_ == '{') {
      ok = parseObject(out.makeObject());
    } else if (*p_ == '[') {
      ok = parseArray(out.makeArray());
    } else if (*p_ == '"') {
      ok = parseString(out.value_.emplace<std::string>());
    } else if (startsWith("true")) {
      // Only the prefix counts: in "truex" the x is left for the caller to reject.
      out.value_.emplace<bool>(true);
      p_ += 4;
    } else if (startsWith("false")) {
      out.value_.emplace<bool>(false);
      p_ += 5;
    } else if (startsWith("null")) {
      out.value_.emplace<std::monostate>();
      p_ += 4;
    } else {
      ok = parseNumber(out);
    }
    --depth_;
    return ok;
  }

  bool parseObject(Json::Object& object) {
    ++p_;
    skipWhitespace();
    if (p_ != end_ && *p_ == '}') {
      ++p_;
      return true;
    }
    if (p_ == end_) return fail("expected key");
    for (;;) {
      if (*p_ != '"') return fail("expected key");
      std::string key;
      if (!parseString(key)) return false;
      skipWhitespace();
      if (p_ == end_ || *p_ != ':') return fail("expected ':'");
      ++p_;
      // A repeated key replaces the earlier value, in the earlier member's place.
      const std::size_t existing = Json::findMember(object, key);
      if (existing < object.members.size()) {
        Json value;
        if (!parseValue(value)) return false;
        object.members[existing].second = std::move(value);
      } else if (!parseValue(Json::appendMember(object, std::move(key)))) {
        return false;
      }
      skipWhitespace();
      if (p_ == end_) return fail("expected ',' or '}'");
      if (*p_ == '}') {
        ++p_;
        return true;
      }
      if (*p_ != ',') return fail("expected ',' or '}'");
      ++p_;
      skipWhitespace();
      if (p_ == end_) return fail("expected key");
    }
  }

  bool parseArray(std::vector<Json>& elements) {
    ++p_;
    skipWhitespace();
    if (p_ != end_ && *p_ == ']') {
      ++p_;
      return true;
    }
    for (;;) {
      if (!parseValue(elements.emplace_back())) return false;
      skipWhitespace();
      if (p_ == end_) return fail("expected ',' or ']'");
      if (*p_ == ']') {
        ++p_;
        return true;
      }
      if (*p_ != ',') return fail("expected ',' or ']'");
      ++p_;
    }
  }

  // Any byte other than '"' and '\' is taken as it is: raw control bytes and bytes that are
  // not UTF-8 included.
  bool parseString(std::string& out) {
    ++p_;
    if (p_ == end_) return fail("unterminated string");
    for (;;) {
      const char* run = p_;
      while (p_ != end_ && *p_ != '"' && *p_ != '\\') ++p_;
      out.append(run, p_);
      if (p_ == end_) return fail("unterminated string");
      if (*p_++ == '"') return true;
      if (p_ == end_) return fail("unterminated string");
      switch (*p_++) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u':
          if (!parseUnicodeEscape(out)) return false;
          break;
        default: return fail("bad escape");
      }
      if (p_ == end_) return fail("unterminated string");
    }
  }

  // The four hex digits after "\u". A high surrogate followed by an escaped low surrogate
  // becomes one code point; any other surrogate is written as it is, and an escape after a
  // high surrogate that is not a low one is read on its own, so no character is lost.
  bool parseUnicodeEscape(std::string& out) {
    if (end_ - p_ < 4) return fail("bad \\u escape");
    std::uint32_t cp = 0;
    if (const char* bad = readHex4(p_, cp)) {
      p_ = bad;
      return fail("bad \\u escape");
    }
    p_ += 4;
    std::uint32_t low = 0;
    if (cp >= 0xD800 && cp <= 0xDBFF && end_ - p_ >= 6 && p_[0] == '\\' && p_[1] == 'u' &&
        !readHex4(p_ + 2, low) && low >= 0xDC00 && low <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      p_ += 6;
    }
    appendUtf8(out, cp);
    return true;
  }

  bool parseNumber(Json& out) {
    if (*p_ != '-' && !isDigit(*p_)) return fail("unexpected character");
    const char* token = p_++;
    while (p_ != end_ &&
           (isDigit(*p_) || *p_ == '.' || *p_ == 'e' || *p_ == 'E' || *p_ == '+' || *p_ == '-')) {
      ++p_;
    }
    out.value_.emplace<double>(numberValue(token, p_));
    return true;
  }

  const char* begin_;
  const char* end_;
  const char* p_;
  int depth_ = 0;
  const char* error_ = "";
};

Json::Json() = default;
Json::Json(std::nullptr_t) {}
Json::Json(bool value) : value_(value) {}
Json::Json(double value) : value_(value) {}
Json::Json(int value) : value_(static_cast<double>(value)) {}
Json::Json(std::int64_t value) : value_(static_cast<double>(value)) {}
Json::Json(std::uint64_t value) : value_(static_cast<double>(value)) {}
Json::Json(const char* text) : value_(std::string(text ? text : "")) {}
Json::Json(std::string_view text) : value_(std::string(text)) {}
Json::Json(std::string text) : value_(std::move(text)) {}

Json Json::array() {
  Json value;
  value.makeArray();
  return value;
}

Json Json::object() {
  Json value;
  value.makeObject();
  return value;
}

Json::Json(const Json& other) = default;
Json::Json(Json&& other) noexcept = default;
Json& Json::operator=(const Json& other) = default;
Json& Json::operator=(Json&& other) noexcept = default;
Json::~Json() = default;

bool Json::asBool() const {
  const bool* value = std::get_if<bool>(&value_);
  return value && *value;
}

double Json::asNumber() const {
  const double* value = std::get_if<double>(&value_);
  return value ? *value : 0;
}

const std::string& Json::asString() const {
  static const std::string empty;
  const std::string* value = std::get_if<std::string>(&value_);
  return value ? *value : empty;
}

const std::vector<Json>& Json::elements() const {
  static const std::vector<Json> empty;
  const std::vector<Json>* value = std::get_if<std::vector<Json>>(&value_);
  return value ? *value : empty;
}

const std::vector<Json::Member>& Json::members() const {
  static const std::vector<Member> empty;
  const Object* value = std::get_if<Object>(&value_);
  return value ? value->members : empty;
}

std::string Json::getString(std::string_view key, std::string_view fallback) const {
  const Json& value = get(key);
  return value.isString() ? value.asString() : std::string(fallback);
}

std::int64_t Json::getInt64(std::string_view key, std::int64_t fallback) const {
  const Json& value = get(key);
  return value.isNumber() ? truncateToInt64(value.asNumber()) : fallback;
}

bool Json::getBool(std::string_view key, bool fallback) const {
  const Json& value = get(key);
  return value.isBool() ? value.asBool() : fallback;
}

const Json& Json::get(std::string_view key) const {
  const Object* object = std::get_if<Object>(&value_);
  if (!object) return sharedNull();
  const std::size_t position = findMember(*object, key);
  return position < object->members.size() ? object->members[position].second : sharedNull();
}

const Json& Json::at(std::size_t index) const {
  const std::vector<Json>& list = elements();
  return index < list.size() ? list[index] : sharedNull();
}

bool Json::has(std::string_view key) const {
  const Object* object = std::get_if<Object>(&value_);
  return object && findMember(*object, key) < object->members.size();
}

void Json::set(std::string_view key, Json value) {
  Object& object = makeObject();
  const std::size_t position = findMember(object, key);
  if (position < object.members.size()) {
    object.members[position].second = std::move(value);
  } else {
    appendMember(object, std::string(key)) = std::move(value);
  }
}

void Json::push(Json value) {
  makeArray().push_back(std::move(value));
}

std::string Json::dump(bool pretty) const {
  std::string out;
  dumpTo(out, pretty, 0);
  return out;
}

Json Json::parse(std::string_view text, std::string* error) {
  JsonParser parser(text);
  Json result;
  if (parser.parseDocument(result)) return result;
  if (error) *error = parser.message();
  return Json();
}

Json::Object& Json::makeObject() {
  if (!isObject()) value_.emplace<Object>();
  return std::get<Object>(value_);
}

std::vector<Json>& Json::makeArray() {
  if (!isArray()) value_.emplace<std::vector<Json>>();
  return std::get<std::vector<Json>>(value_);
}

std::size_t Json::findMember(const Object& object, std::string_view key) {
  const std::vector<Member>& members = object.members;
  if (object.slots.empty()) {
    for (std::size_t i = 0; i < members.size(); ++i) {
      if (members[i].first == key) return i;
    }
    return members.size();
  }
  const std::size_t mask = object.slots.size() - 1;
  for (std::size_t slot = hashKey(key) & mask; object.slots[slot] != 0; slot = (slot + 1) & mask) {
    const std::size_t position = object.slots[slot] - 1;
    if (members[position].first == key) return position;
  }
  return members.size();
}

Json& Json::appendMember(Object& object, std::string key) {
  std::vector<Member>& members = object.members;
  members.emplace_back(std::piecewise_construct, std::forward_as_tuple(std::move(key)),
                       std::forward_as_tuple());
  const auto place = [&object](std::size_t position) {
    const std::size_t mask = object.slots.size() - 1;
    std::size_t slot = hashKey(object.members[position].first) & mask;
    while (object.slots[slot] != 0) slot = (slot + 1) & mask;
    object.slots[slot] = static_cast<std::uint32_t>(position + 1);
  };
  if (members.size() > kScanLimit) {
    if (members.size() * 2 > object.slots.size()) {
      // Keep the table at most half full so that probe runs stay short.
      std::size_t size = 64;
      while (size < members.size() * 4) size *= 2;
      object.slots.assign(size, 0);
      for (std::size_t i = 0; i < members.size(); ++i) place(i);
    } else {
      place(members.size() - 1);
    }
  }
  return members.back().second;
}

void Json::dumpTo(std::string& out, bool pretty, int level) const {
  switch (kind()) {
    case Kind::Null: out += "null"; break;
    case Kind::Boolean: out += asBool() ? "true" : "false"; break;
    case Kind::Number: appendNumber(out, asNumber()); break;
    case Kind::String: appendQuoted(out, asString()); break;
    case Kind::Array: {
      const std::vector<Json>& list = elements();
      out += '[';
      for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0) out += ',';
        if (pretty) newLine(out, level + 1);
        list[i].dumpTo(out, pretty, level + 1);
      }
      if (pretty && !list.empty()) newLine(out, level);
      out += ']';
      break;
    }
    case Kind::Object: {
      const std::vector<Member>& list = members();
      out += '{';
      for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0) out += ',';
        if (pretty) newLine(out, level + 1);
        appendQuoted(out, list[i].first);
        out += pretty ? ": " : ":";
        list[i].second.dumpTo(out, pretty, level + 1);
      }
      if (pretty && !list.empty()) newLine(out, level);
      out += '}';
      break;
    }
  }
}

}  // namespace tu
