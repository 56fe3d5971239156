#include "game/game_options.h"

#include <cstdint>
#include <limits>
#include <system_error>
#include <vector>

#include "core/files.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = next;
  }
  return lines;
}

std::string_view trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

bool isHeader(std::string_view trimmed) {
  return !trimmed.empty() && trimmed.front() == '[';
}

bool isVideoHeader(std::string_view trimmed) {
  return toLowerAscii(trimmed) == "[video]";
}

// The lower-cased key of a key line, or "" when the line holds no '='.
std::string keyOf(std::string_view trimmed) {
  const std::size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) return {};
  return toLowerAscii(trim(trimmed.substr(0, equals)));
}

std::int32_t atoiValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;  // saturate, as the system's atoi does
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) {
    value = std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

void applyGameOptionsText(std::string_view text, DisplayOptions& options) {
  bool inSection = false;
  for (const std::string_view line : splitLines(text)) {
    const std::string_view trimmed = trim(line);
    if (trimmed.empty()) continue;
    if (isHeader(trimmed)) {
      inSection = isVideoHeader(trimmed);
      continue;
    }
    if (!inSection) continue;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string key = toLowerAscii(trim(trimmed.substr(0, equals)));
    const std::string_view value = trim(trimmed.substr(equals + 1));
    if (key == "gameplayviewportx") {
      options.width = atoiValue(value);
    } else if (key == "gameplayviewporty") {
      options.height = atoiValue(value);
    } else if (key == "startupfullscreen") {
      options.windowed = toLowerAscii(value) != "true";
    }
  }
}

std::string mergeGameOptionsText(std::string_view text, const DisplayOptions& options) {
  const std::vector<std::string_view> original = splitLines(text);
  std::vector<std::string> lines(original.begin(), original.end());

  struct Entry {
    const char* name;
    std::string key;
    std::string value;
    bool done = false;
  };
  Entry entries[] = {
      {"GamePlayViewportX", "gameplayviewportx", std::to_string(options.width)},
      {"GamePlayViewportY", "gameplayviewporty", std::to_string(options.height)},
      {"StartupFullScreen", "startupfullscreen", options.windowed ? "False" : "True"},
  };

  bool inSection = false;
  std::ptrdiff_t header = -1;
  std::ptrdiff_t end = -1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view trimmed = trim(lines[i]);
    if (isHeader(trimmed)) {
      if (inSection) end = static_cast<std::ptrdiff_t>(i);
      inSection = isVideoHeader(trimmed);
      if (inSection) header = static_cast<std::ptrdiff_t>(i);
    } else if (inSection) {
      const std::string key = keyOf(trimmed);
      if (key.empty()) continue;
      for (Entry& entry : entries) {
        if (entry.key == key) {
          lines[i] = std::string(entry.name) + "=" + entry.value;
          entry.done = true;
        }
      }
    }
  }
  if (inSection && end == -1) end = static_cast<std::ptrdiff_t>(lines.size());
  if (header == -1) {
    lines.insert(lines.begin(), "[Video]");
    header = 0;
    end = 1;
  }
  // New keys go right after the section's last non-blank line, before the blank lines that
  // set it apart from the next section.
  while (end > header + 1 && trim(lines[static_cast<std::size_t>(end - 1)]).empty()) --end;
  for (const Entry& entry : entries) {
    if (entry.done) continue;
    lines.insert(lines.begin() + end, std::string(entry.name) + "=" + entry.value);
    ++end;
  }

  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    out += lines[i];
    if (!(text.empty() && i + 1 == lines.size())) out += "\r\n";
  }
  return out;
}

bool readGameOptions(const fs::path& file, DisplayOptions& options) {
  std::string text;
  if (!readFile(file, text)) return false;
  applyGameOptionsText(text, options);
  return true;
}

bool writeGameOptions(const fs::path& file, const DisplayOptions& options) {
  std::string text;
  std::error_code ec;
  const fs::file_type type = fs::status(file, ec).type();
  if (type != fs::file_type::not_found) {
    if (type != fs::file_type::regular || !readFile(file, text)) return false;
  }
  return writeFileAtomic(file, mergeGameOptionsText(text, options));
}

}  // namespace tu
