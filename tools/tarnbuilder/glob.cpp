#include "tarnbuilder/glob.h"

namespace tu::builder {

namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Matches one `[...]` set at the start of `pattern` against `c`; `length` gets the set's
// length. A set without its closing `]` is taken as a literal `[`.
bool matchSet(std::string_view pattern, char c, std::size_t& length) {
  std::size_t i = 1;
  const bool negate = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negate) ++i;
  bool found = false;
  bool first = true;
  for (; i < pattern.size() && (first || pattern[i] != ']'); ++i, first = false) {
    char from = lower(pattern[i]);
    char to = from;
    if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
      to = lower(pattern[i + 2]);
      i += 2;
    }
    const char value = lower(c);
    if (value >= from && value <= to) found = true;
  }
  if (i >= pattern.size()) {
    length = 1;
    return lower(c) == '[';
  }
  length = i + 1;
  return found != negate && c != '/';
}

}  // namespace

bool globMatch(std::string_view pattern, std::string_view text) {
  while (!pattern.empty()) {
    if (pattern.compare(0, 2, "**") == 0) {
      std::string_view rest = pattern.substr(2);
      // "**/" may also stand for no folder at all.
      if (!rest.empty() && rest.front() == '/' && globMatch(rest.substr(1), text)) return true;
      for (std::size_t skip = 0; skip <= text.size(); ++skip) {
        if (globMatch(rest, text.substr(skip))) return true;
      }
      return false;
    }
    switch (pattern.front()) {
      case '*': {
        const std::string_view rest = pattern.substr(1);
        for (std::size_t skip = 0; skip <= text.size(); ++skip) {
          if (globMatch(rest, text.substr(skip))) return true;
          if (skip < text.size() && text[skip] == '/') return false;
        }
        return false;
      }
      case '?':
        if (text.empty() || text.front() == '/') return false;
        pattern.remove_prefix(1);
        text.remove_prefix(1);
        break;
      case '[': {
        std::size_t length = 0;
        if (text.empty() || !matchSet(pattern, text.front(), length)) return false;
        pattern.remove_prefix(length);
        text.remove_prefix(1);
        break;
      }
      default:
        if (text.empty() || lower(pattern.front()) != lower(text.front())) return false;
        pattern.remove_prefix(1);
        text.remove_prefix(1);
        break;
    }
  }
  return text.empty();
}

ExcludeRules::ExcludeRules() {
  rules_.push_back({".tarn_update", true, true});
  rules_.push_back({"*.part", true, false});
  rules_.push_back({"*.tznew", true, false});
}

void ExcludeRules::add(std::string_view pattern) {
  std::string text(pattern);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  Rule rule;
  // A leading "/" or "./" ties the pattern to the top of the client folder.
  bool anchored = false;
  while (text.compare(0, 2, "./") == 0 || (!text.empty() && text.front() == '/')) {
    text.erase(0, text.front() == '/' ? 1 : 2);
    anchored = true;
  }
  while (!text.empty() && text.back() == '/') {
    text.pop_back();
    rule.foldersOnly = true;
  }
  if (text.empty()) return;
  rule.anyName = !anchored && text.find('/') == std::string::npos;
  rule.pattern = std::move(text);
  rules_.push_back(std::move(rule));
}

bool ExcludeRules::excludes(std::string_view path, bool folder) const {
  const std::size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  for (const Rule& rule : rules_) {
    if (rule.foldersOnly && !folder) continue;
    if (globMatch(rule.pattern, rule.anyName ? name : path)) return true;
  }
  return false;
}

}  // namespace tu::builder
