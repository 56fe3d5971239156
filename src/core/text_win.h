// UTF-8 <-> UTF-16 at Windows calls, with the system's conversion (MultiByteToWideChar /
// WideCharToMultiByte with CP_UTF8): ill-formed input becomes U+FFFD, nothing fails or throws.
// Windows builds only.
#pragma once

#include <string>
#include <string_view>

namespace tu {

std::wstring utf8ToWide(std::string_view utf8);
std::string wideToUtf8(std::wstring_view wide);

}  // namespace tu
