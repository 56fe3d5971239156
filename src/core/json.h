// Json: the program's one in-memory document type, with its strict parser and its writer.
//
// Every JSON text the launcher reads (TarnLauncher.json, prefs.json, cache.json, the manifest,
// the news and status documents, page commands) goes through Json::parse, and every JSON text
// it writes comes out of Json::dump. Numbers are doubles; objects keep insertion order and
// never hold two members with the same key. Parsing never throws: a failure gives a null value
// and one English phrase followed by " at offset N".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tu {

// Truncates toward zero to a signed 64-bit integer. Defined for every double: values beyond
// the 64-bit range saturate to INT64_MIN / INT64_MAX and NaN gives 0. Every caller that reads
// an integer (sizes, ports, counts, formats) out of a JSON number uses this.
std::int64_t truncateToInt64(double value);

class Json {
 public:
  enum class Kind { Null, Boolean, Number, String, Array, Object };
  using Member = std::pair<std::string, Json>;

  Json();  // null
  Json(std::nullptr_t);
  Json(bool value);
  Json(double value);
  Json(int value);
  Json(std::int64_t value);
  Json(std::uint64_t value);  // converted to the nearest double
  Json(const char* text);
  Json(std::string_view text);
  Json(std::string text);
  static Json array();
  static Json object();

  Json(const Json& other);
  Json(Json&& other) noexcept;
  Json& operator=(const Json& other);
  Json& operator=(Json&& other) noexcept;
  ~Json();

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  bool isNull() const { return kind() == Kind::Null; }
  bool isBool() const { return kind() == Kind::Boolean; }
  bool isNumber() const { return kind() == Kind::Number; }
  bool isString() const { return kind() == Kind::String; }
  bool isArray() const { return kind() == Kind::Array; }
  bool isObject() const { return kind() == Kind::Object; }

  // Payloads; each is empty / false / 0 unless the kind matches.
  bool asBool() const;
  double asNumber() const;
  const std::string& asString() const;
  const std::vector<Json>& elements() const;
  const std::vector<Member>& members() const;

  // The idioms the rest of the program builds on: the payload when the kind matches, else the
  // fallback. getInt64 truncates toward zero (truncateToInt64).
  std::string getString(std::string_view key, std::string_view fallback = {}) const;
  std::int64_t getInt64(std::string_view key, std::int64_t fallback) const;
  bool getBool(std::string_view key, bool fallback) const;

  // Read-only lookups: the member / element, or the shared null when there is none or this
  // value is of another kind. Never insert.
  const Json& get(std::string_view key) const;
  const Json& at(std::size_t index) const;
  bool has(std::string_view key) const;

  // Turns a value of another kind into an empty object first; then replaces an existing
  // member in place (keeping its position) or appends a new one.
  void set(std::string_view key, Json value);
  // Turns a value of another kind into an empty array first; then appends.
  void push(Json value);

  // Compact text, or the indented layout (two spaces per level). No line feed at the end.
  std::string dump(bool pretty = false) const;

  // Parses a whole text. On failure returns null and, when error is given, sets it to the
  // phrase and " at offset N"; on success error is left untouched.
  static Json parse(std::string_view text, std::string* error = nullptr);

 private:
  // An object's members in insertion order. Past a small size it also keeps a hash table of
  // member positions (open addressing, position + 1 per slot, 0 for a free slot), so that
  // lookups in cache.json (one member per client file) do not grow with the object. The table
  // holds positions rather than keys, so it stays right when the member vector moves.
  struct Object {
    std::vector<Member> members;
    std::vector<std::uint32_t> slots;  // empty while the object is small
  };

  Object& makeObject();
  std::vector<Json>& makeArray();
  // Position of the member named `key`, or members.size() when there is none.
  static std::size_t findMember(const Object& object, std::string_view key);
  // Appends a member whose key is not present yet and returns its value.
  static Json& appendMember(Object& object, std::string key);
  void dumpTo(std::string& out, bool pretty, int level) const;
  friend class JsonParser;

  // One alternative per kind, in the order of Kind.
  std::variant<std::monostate, bool, double, std::string, std::vector<Json>, Object> value_;
};

}  // namespace tu
