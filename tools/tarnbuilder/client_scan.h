// Listing the client folder for publishing: every regular file (links followed), as the
// '/'-separated UTF-8 path the manifest will carry, with what the publish cache compares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tarnbuilder/glob.h"

namespace tu::builder {

struct ClientFileInfo {
  std::string path;              // relative to the client folder, '/'-separated UTF-8
  std::filesystem::path source;  // where to read it
  std::uint64_t size = 0;
  std::string stamp;  // fileStamp when listed
};

struct ScanResult {
  std::vector<ClientFileInfo> files;  // sorted by path, byte order
  // Names that cannot become manifest paths as they are (not UTF-8, broken links, link
  // loops), each as "<path>: <reason>". The caller refuses to publish while any exists.
  std::vector<std::string> problems;
  std::size_t excluded = 0;  // files and folders the rules left out
};

// Lists `client`. `skipFolders` are relative paths left out without counting (the output
// folder when it lies inside the client folder). False only when a folder cannot be listed.
bool scanClient(const std::filesystem::path& client, const ExcludeRules& rules,
                const std::vector<std::string>& skipFolders, ScanResult& result,
                std::string& error);

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view text);

// `text` for a message: bytes that are not printable UTF-8 become \xNN.
std::string printable(std::string_view text);

}  // namespace tu::builder
