// Json::parse on any bytes. A failure must be a null value with a message whose offset lies in
// the text; a success must write a text that parses back to the same value (numbers to the ten
// significant digits the writer keeps), and writing that again must give the very same text,
// compact or indented.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/json.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

bool sameNumber(double written, double read) {
  if (!std::isfinite(written)) return read == 0;  // infinities are written as 0
  return written == read || std::fabs(written - read) <= 1e-9 * std::fabs(written);
}

bool sameValue(const tu::Json& a, const tu::Json& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case tu::Json::Kind::Null: return true;
    case tu::Json::Kind::Boolean: return a.asBool() == b.asBool();
    case tu::Json::Kind::Number: return sameNumber(a.asNumber(), b.asNumber());
    case tu::Json::Kind::String: return a.asString() == b.asString();
    case tu::Json::Kind::Array:
      if (a.elements().size() != b.elements().size()) return false;
      for (std::size_t i = 0; i < a.elements().size(); ++i) {
        if (!sameValue(a.elements()[i], b.elements()[i])) return false;
      }
      return true;
    case tu::Json::Kind::Object:
      if (a.members().size() != b.members().size()) return false;
      for (std::size_t i = 0; i < a.members().size(); ++i) {
        const tu::Json::Member& member = a.members()[i];
        if (member.first != b.members()[i].first) return false;
        if (!sameValue(member.second, b.members()[i].second)) return false;
        if (&a.get(member.first) != &member.second) return false;  // lookups find each member
      }
      return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const tu::Json value = tu::Json::parse(text, &error);
  if (!error.empty()) {
    check(value.isNull());
    const std::size_t at = error.rfind(" at offset ");
    check(at != std::string::npos);
    check(std::stoull(error.substr(at + 11)) <= size);
    return 0;
  }

  const std::string compact = value.dump();
  std::string again;
  const tu::Json reread = tu::Json::parse(compact, &again);
  check(again.empty());
  check(sameValue(value, reread));

  const std::string stable = reread.dump();
  check(tu::Json::parse(stable).dump() == stable);
  check(tu::Json::parse(value.dump(true)).dump() == stable);
  return 0;
}
