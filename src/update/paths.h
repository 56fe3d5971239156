// Small path helpers of the update engine.
#pragma once

#include <filesystem>
#include <string_view>

namespace tu {

// `path` with a UTF-8 suffix appended to its last piece (".part", ".tznew", ".new"), converted
// like every other UTF-8 text that becomes a path.
std::filesystem::path withSuffix(const std::filesystem::path& path, std::string_view suffix);

}  // namespace tu
