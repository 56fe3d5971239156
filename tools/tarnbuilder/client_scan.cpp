#include "tarnbuilder/client_scan.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "core/files.h"
#include "tarnbuilder/system.h"

namespace tu::builder {

namespace fs = std::filesystem;

namespace {

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t utf8Length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

class Walker {
 public:
  Walker(const ExcludeRules& rules, const std::vector<std::string>& skipFolders, ScanResult& result)
      : rules_(rules), skipFolders_(skipFolders), result_(result) {}

  bool walk(const fs::path& folder, const std::string& prefix, std::string& error) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
      error = "cannot list " + pathToUtf8(folder) + ": " + ec.message();
      return false;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
      const fs::path& entry = it->path();
      const std::string name = pathToUtf8(entry.filename());
      const std::string relative = prefix.empty() ? name : prefix + "/" + name;
      // The listing already gave each entry's type, so only links cost a query of their own.
      std::error_code typeError;
      const bool link = it->is_symlink(typeError);
      const bool directory = it->is_directory(typeError);
      const bool regular = !directory && it->is_regular_file(typeError);
      if (directory) {
        if (std::find(skipFolders_.begin(), skipFolders_.end(), relative) != skipFolders_.end()) {
          continue;
        }
        if (rules_.excludes(relative, true)) {
          ++result_.excluded;
          continue;
        }
        if (!nameUsable(entry, name, relative)) continue;
        if (link && loops(folder, entry)) {
          result_.problems.push_back(printable(relative) +
                                     ": link loop (a link to a folder that holds it)");
          continue;
        }
        if (!walk(entry, relative, error)) return false;
      } else if (regular) {
        if (rules_.excludes(relative, false)) {
          ++result_.excluded;
          continue;
        }
        if (!nameUsable(entry, name, relative)) continue;
        ClientFileInfo file;
        file.path = relative;
        file.source = entry;
        if (!fileSizeAndStamp(entry, file.size, file.stamp)) {
          result_.problems.push_back(printable(relative) + ": cannot read its size or time");
          continue;
        }
        result_.files.push_back(std::move(file));
      } else if (link && !it->exists(typeError)) {
        if (!rules_.excludes(relative, false)) {
          result_.problems.push_back(printable(relative) + ": broken link");
        }
      }
      // Sockets, pipes and devices are not game files.
    }
    if (ec) {
      error = "cannot list " + pathToUtf8(folder) + ": " + ec.message();
      return false;
    }
    return true;
  }

 private:
  // A name must survive the trip to UTF-8 and back, or the launcher would write another file.
  bool nameUsable(const fs::path& entry, const std::string& name, const std::string& relative) {
    if (isValidUtf8(name) && pathFromUtf8(name) == entry.filename()) return true;
    result_.problems.push_back(printable(relative) + ": name is not valid UTF-8");
    return false;
  }

  // Whether the linked folder `link` in `folder` is `folder` itself or one above it: walking
  // it would never end.
  static bool loops(const fs::path& folder, const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::canonical(link, ec);
    if (ec) return false;
    const fs::path here = fs::canonical(folder, ec);
    if (ec) return false;
    auto a = here.begin();
    for (auto b = target.begin(); b != target.end(); ++b, ++a) {
      if (a == here.end() || *a != *b) return false;
    }
    return true;
  }

  const ExcludeRules& rules_;
  const std::vector<std::string>& skipFolders_;
  ScanResult& result_;
};

}  // namespace

bool scanClient(const fs::path& client, const ExcludeRules& rules,
                const std::vector<std::string>& skipFolders, ScanResult& result,
                std::string& error) {
  result = ScanResult{};
  std::error_code ec;
  if (!fs::is_directory(client, ec)) {
    error = pathToUtf8(client) + " is not a folder";
    return false;
  }
  Walker walker(rules, skipFolders, result);
  if (!walker.walk(client, "", error)) return false;
  std::sort(result.files.begin(), result.files.end(),
            [](const ClientFileInfo& a, const ClientFileInfo& b) { return a.path < b.path; });
  std::sort(result.problems.begin(), result.problems.end());
  return true;
}

bool isValidUtf8(std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = utf8Length(text);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

std::string printable(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::size_t length = utf8Length(text);
    const auto lead = static_cast<unsigned char>(text.front());
    if (length == 0 || lead < 0x20 || lead == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", lead);
      out += escaped;
      text.remove_prefix(1);
    } else {
      out.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return out;
}

}  // namespace tu::builder
