// The UI pack: the page's files in one blob built into the program (and written by the staff
// tool and the build). Layout, all integers little-endian, no gaps:
//   "TUI1" | entry count (u32) | entries
//   entry: name length N (u16) | name (N bytes, UTF-8, '/'-separated relative path) |
//          data size D (u32) | D bytes
// Bytes after the last counted entry are ignored.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tu {

// Writes every entry of the pack under `folder`, in stored order, each with writeFileAtomic.
// Fails with "not a ui pack" (shorter than 8 bytes or wrong magic), "ui pack is damaged" (an
// entry that does not fit, or whose name fails isSafeRelativePath) or "cannot write <name>".
// Files written before a failure stay. A count of 0 succeeds and writes nothing.
bool unpackUiPack(std::string_view pack, const std::filesystem::path& folder, std::string& error);

// The text stored in ".version" of an extracted folder: the FNV-1a 32-bit hash of all the
// pack's bytes in decimal, ':', the pack's size in decimal.
std::string uiPackVersion(std::string_view pack);

// Makes `folder` hold the pack's files and a matching ".version". When ".version" already
// matches and "index.html" exists, writes nothing; otherwise removes the folder and unpacks
// afresh. True when the folder is complete.
bool extractUiPack(std::string_view pack, const std::filesystem::path& folder);

struct UiPackEntry {
  std::string name;  // '/'-separated relative path, UTF-8
  std::string data;
};

// Builds a pack of the entries, sorted by name in byte order. Fails (with a text naming the
// entry) on a name the reader would refuse, a repeated name or a file too large for the format.
bool buildUiPack(std::vector<UiPackEntry> entries, std::string& pack, std::string& error);

// Builds a pack of every regular file under `folder` (recursively), named by its path
// relative to `folder`.
bool buildUiPackFromFolder(const std::filesystem::path& folder, std::string& pack,
                           std::string& error);

}  // namespace tu
