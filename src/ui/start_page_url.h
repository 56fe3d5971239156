// The URL the web view opens for the start page. Windows builds only (the web view's Navigate
// takes UTF-16).
#pragma once

#include <filesystem>
#include <string>

namespace tu {

// A "file:///" URL with forward slashes and escaped characters (UrlCreateFromPathW); when that
// fails, "file:///" followed by the path unchanged, cut to 4095 units.
std::wstring startPageUrl(const std::filesystem::path& page);

}  // namespace tu
