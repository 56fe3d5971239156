// The portable half of the file and path helpers; the platform half is files_posix.cpp /
// files_win.cpp (replaceFile, the flushes, makeWritable, fileStamp and the path <-> UTF-8
// conversions).
#include "core/files.h"

#include <chrono>
#include <fstream>
#include <system_error>
#include <thread>

namespace tu {

namespace fs = std::filesystem;

bool readFile(const fs::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string data;
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (!ec) data.reserve(static_cast<std::size_t>(size));
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    data.append(buffer, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return false;
  out = std::move(data);
  return true;
}

bool writeFileAtomic(const fs::path& path, std::string_view data) {
  std::error_code ec;
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);

  // Write a sibling and rename it over the target, so a reader (or a crash) only ever sees
  // the old file or the new one; the sibling stays on the target's volume.
  fs::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    // A failed final flush is a failed write: the data may not all be on disk.
    out.close();
    if (!out) return false;
  }
  if (!flushToDisk(temporary) || !moveIntoPlace(temporary, path)) return false;
  flushFolder(path.parent_path());
  return true;
}

bool moveIntoPlace(const fs::path& temporary, const fs::path& target) {
  // About a second in all: enough for a scanner to let go, short enough for a player waiting.
  static constexpr int kWaitsMs[] = {50, 100, 200, 300, 350};
  bool replaced = replaceFile(temporary, target) == 0;
  if (!replaced) makeWritable(target);
  for (const int waitMs : kWaitsMs) {
    if (replaced) break;
    // A temporary that has vanished (quarantined) cannot be renamed by any number of tries.
    std::error_code ec;
    if (!fs::exists(temporary, ec)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    replaced = replaceFile(temporary, target) == 0;
  }
  return replaced;
}

std::string hexEncode(const void* data, std::size_t size) {
  static const char digits[] = "0123456789abcdef";
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::string out(size * 2, '0');
  for (std::size_t i = 0; i < size; ++i) {
    out[2 * i] = digits[bytes[i] >> 4];
    out[2 * i + 1] = digits[bytes[i] & 15];
  }
  return out;
}

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool hexDecode(std::string_view hex, std::vector<std::uint8_t>& out) {
  out.clear();
  if (hex.size() % 2 != 0) return false;
  out.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = hexDigitValue(hex[i]);
    const int low = hexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return true;
}

std::string toLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

namespace {

// Names Windows keeps for devices, in any letter case and with any extension ("nul.txt" is
// NUL too), spaces before the extension ignored ("CON .ini" is CON).
bool isDeviceName(std::string_view piece) {
  std::string_view base = piece.substr(0, piece.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  const std::string name = toLowerAscii(base);
  if (name == "con" || name == "prn" || name == "aux" || name == "nul" || name == "conin$" ||
      name == "conout$") {
    return true;
  }
  if (name.size() < 4 || (name.compare(0, 3, "com") != 0 && name.compare(0, 3, "lpt") != 0)) {
    return false;
  }
  // COM0 to COM9 and LPT0 to LPT9, also with a superscript 1, 2 or 3 (UTF-8).
  const std::string_view number = std::string_view(name).substr(3);
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
         number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace

bool isSafeRelativePath(std::string_view path) {
  if (path.empty() || path.size() > 400) return false;
  if (path.front() == '/' || path.front() == '\\') return false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = path.find('/', start);
    const std::string_view piece = path.substr(
        start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    // Windows drops a trailing dot or space ("a." is "a", so two entries could name one file,
    // unseen by the letter-case check); "." and ".." end in a dot as well.
    if (piece.empty() || piece.back() == '.' || piece.back() == ' ' || isDeviceName(piece)) {
      return false;
    }
    for (const char c : piece) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20) return false;
      switch (c) {
        case '\\':
        case ':':
        case '<':
        case '>':
        case '"':
        case '|':
        case '?':
        case '*': return false;
        default: break;
      }
    }
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

fs::path resolveRelative(const fs::path& base, std::string_view relative) {
  fs::path result = base;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = relative.find('/', start);
    result /= pathFromUtf8(relative.substr(
        start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
    if (slash == std::string_view::npos) return result;
    start = slash + 1;
  }
}

}  // namespace tu
