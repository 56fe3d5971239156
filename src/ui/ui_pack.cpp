#include "ui/ui_pack.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <system_error>

#include "core/files.h"
#include "ui/client_folder_hash.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "TUI1";

std::uint32_t readU16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

std::uint32_t readU32(std::string_view bytes, std::size_t at) {
  return readU16(bytes, at) | readU16(bytes, at + 2) << 16;
}

void appendU16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void appendU32(std::string& out, std::uint32_t value) {
  appendU16(out, value & 0xFFFF);
  appendU16(out, value >> 16);
}

}  // namespace

bool unpackUiPack(std::string_view pack, const fs::path& folder, std::string& error) {
  if (pack.size() < 8 || pack.substr(0, 4) != kMagic) {
    error = "not a ui pack";
    return false;
  }
  const std::uint32_t count = readU32(pack, 4);
  std::size_t position = 8;
  for (std::uint32_t entry = 0; entry < count; ++entry) {
    // Every size is checked against what remains before it is used, so a damaged pack can
    // never make the reader step outside it.
    std::size_t remaining = pack.size() - position;
    if (remaining < 2) {
      error = "ui pack is damaged";
      return false;
    }
    const std::size_t nameSize = readU16(pack, position);
    position += 2;
    remaining -= 2;
    if (nameSize + 4 > remaining) {
      error = "ui pack is damaged";
      return false;
    }
    const std::string_view name = pack.substr(position, nameSize);
    const std::size_t dataSize = readU32(pack, position + nameSize);
    position += nameSize + 4;
    remaining -= nameSize + 4;
    if (dataSize > remaining || !isSafeRelativePath(name)) {
      error = "ui pack is damaged";
      return false;
    }
    if (!writeFileAtomic(resolveRelative(folder, name), pack.substr(position, dataSize))) {
      error = "cannot write " + std::string(name);
      return false;
    }
    position += dataSize;
  }
  return true;
}

std::string uiPackVersion(std::string_view pack) {
  return std::to_string(fnv1a32(pack.data(), pack.size())) + ":" + std::to_string(pack.size());
}

bool extractUiPack(std::string_view pack, const fs::path& folder) {
  const std::string version = uiPackVersion(pack);
  std::string stored;
  std::error_code ec;
  if (readFile(folder / ".version", stored) && stored == version &&
      fs::exists(folder / "index.html", ec)) {
    return true;
  }
  // Start from an empty folder so no file of an older pack lingers beside the new ones.
  fs::remove_all(folder, ec);
  std::string error;
  if (!unpackUiPack(pack, folder, error)) return false;
  return writeFileAtomic(folder / ".version", version);
}

bool buildUiPack(std::vector<UiPackEntry> entries, std::string& pack, std::string& error) {
  std::sort(entries.begin(), entries.end(),
            [](const UiPackEntry& a, const UiPackEntry& b) { return a.name < b.name; });
  if (entries.size() > std::numeric_limits<std::uint32_t>::max()) {
    error = "too many files for a ui pack";
    return false;
  }
  std::string out(kMagic);
  appendU32(out, static_cast<std::uint32_t>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const UiPackEntry& entry = entries[i];
    if (!isSafeRelativePath(entry.name) || entry.name.size() > 0xFFFF) {
      error = entry.name + ": not a usable name in a ui pack";
      return false;
    }
    if (i > 0 && entries[i - 1].name == entry.name) {
      error = entry.name + ": named twice";
      return false;
    }
    if (entry.data.size() > std::numeric_limits<std::uint32_t>::max()) {
      error = entry.name + ": too large for a ui pack";
      return false;
    }
    appendU16(out, static_cast<std::uint32_t>(entry.name.size()));
    out += entry.name;
    appendU32(out, static_cast<std::uint32_t>(entry.data.size()));
    out += entry.data;
  }
  pack = std::move(out);
  return true;
}

bool buildUiPackFromFolder(const fs::path& folder, std::string& pack, std::string& error) {
  std::vector<UiPackEntry> entries;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, ec);
  if (ec) {
    error = pathToUtf8(folder) + ": cannot list the folder";
    return false;
  }
  for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string name;
    for (const fs::path& piece : it->path().lexically_relative(folder)) {
      if (!name.empty()) name += '/';
      name += pathToUtf8(piece);
    }
    UiPackEntry entry{name, {}};
    if (!readFile(it->path(), entry.data)) {
      error = pathToUtf8(it->path()) + ": cannot read";
      return false;
    }
    entries.push_back(std::move(entry));
  }
  if (ec) {
    error = pathToUtf8(folder) + ": cannot list the folder";
    return false;
  }
  return buildUiPack(std::move(entries), pack, error);
}

}  // namespace tu
