// The options-file merge on any text. Merging must keep every line that is not one of the three
// key lines of a [Video] section byte for byte and in order (line endings aside), and add at most
// the section header and the three keys. When the text has a [Video] section, the result must
// read back as the values written and merging it again must change nothing. (Without one, the
// new section goes on top and takes in whatever precedes the first header, so a key there, or
// a header hidden behind a byte-order mark, still wins when read.)
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/files.h"
#include "game/game_options.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

std::vector<std::string> linesOf(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string trimmed(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t\r\n") - first + 1);
}

// The lines the merge must carry along: everything but the key lines of [Video] sections.
std::vector<std::string> carried(const std::vector<std::string>& lines) {
  std::vector<std::string> kept;
  bool inVideo = false;
  for (const std::string& line : lines) {
    const std::string text = trimmed(line);
    if (!text.empty() && text[0] == '[') {
      inVideo = tu::toLowerAscii(text) == "[video]";
    } else if (inVideo && text.find('=') != std::string::npos) {
      const std::string key = tu::toLowerAscii(trimmed(text.substr(0, text.find('='))));
      if (key == "gameplayviewportx" || key == "gameplayviewporty" || key == "startupfullscreen") {
        continue;
      }
    }
    kept.push_back(line);
  }
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  tu::DisplayOptions options;
  options.windowed = data[0] & 1;
  options.width = static_cast<std::int32_t>(data[1] | data[2] << 8 | data[3] << 16 |
                                            static_cast<std::uint32_t>(data[4]) << 24);
  options.height = static_cast<std::int32_t>(data[5] | data[6] << 8 | data[7] << 16 |
                                             static_cast<std::uint32_t>(data[8]) << 24);
  const std::string_view text(reinterpret_cast<const char*>(data) + 9, size - 9);

  const std::string merged = tu::mergeGameOptionsText(text, options);
  const std::vector<std::string> original = linesOf(text);
  const std::vector<std::string> result = linesOf(merged);
  const std::vector<std::string> kept = carried(original);
  std::size_t next = 0;
  for (const std::string& line : result) {
    if (next < kept.size() && line == kept[next]) ++next;
  }
  check(next == kept.size());
  check(result.size() <= original.size() + 4);

  bool hasSection = false;
  for (const std::string& line : original)
    hasSection |= tu::toLowerAscii(trimmed(line)) == "[video]";
  if (!hasSection) {
    check(!result.empty() && result[0] == "[Video]");
    return 0;
  }
  tu::DisplayOptions read{!options.windowed, options.width ^ 1, options.height ^ 1};
  tu::applyGameOptionsText(merged, read);
  check(read.windowed == options.windowed && read.width == options.width &&
        read.height == options.height);
  check(tu::mergeGameOptionsText(merged, options) == merged);
  return 0;
}
