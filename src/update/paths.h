// Small path helpers of the update engine.
#pragma once

#include <filesystem>
#include <string_view>

namespace tu {

// `path` with a UTF-8 suffix appended to its last piece (".part", ".tznew", ".new"), converted
// like every other UTF-8 text that becomes a path.
std::filesystem::path withSuffix(const std::filesystem::path& path, std::string_view suffix);

// Lets the owner write the file again (on Windows: clears the read-only attribute), so that a
// last-chance delete and rename can replace it. Failures are ignored.
void makeWritable(const std::filesystem::path& path);

}  // namespace tu
