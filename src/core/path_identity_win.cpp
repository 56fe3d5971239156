#include "core/path_identity_win.h"

#include <windows.h>

#include <vector>

namespace tu {
namespace {

// Calls a Windows function with the contract of GetFullPathNameW (the length written, or the
// size needed when the buffer is too small, or 0 on failure) until the whole text fits.
template <typename Call>
std::wstring growing(Call call) {
  std::vector<wchar_t> buffer(1040);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length + 1);
  }
  return {};
}

// The long form of the longest part of `path` that exists, followed by the rest unchanged.
std::wstring longForm(const std::wstring& path) {
  std::wstring existing = path;
  std::wstring rest;
  for (;;) {
    const std::wstring longer = growing([&](wchar_t* buffer, DWORD size) {
      return GetLongPathNameW(existing.c_str(), buffer, size);
    });
    if (!longer.empty()) return longer + rest;
    const std::size_t cut = existing.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut == 0) return path;
    rest = existing.substr(cut) + rest;
    existing.resize(cut);
  }
}

}  // namespace

std::wstring pathIdentity(const std::wstring& path) {
  std::wstring identity = growing([&](wchar_t* buffer, DWORD size) {
    return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  });
  if (identity.empty()) identity = path;
  identity = longForm(identity);
  // A drive's root keeps its separator ("C:\"); any other folder loses it.
  while (identity.size() > 3 && (identity.back() == L'\\' || identity.back() == L'/')) {
    identity.pop_back();
  }
  if (!identity.empty()) {
    // The invariant locale's upper case is the one the file system compares names with.
    std::wstring upper(identity.size(), L'\0');
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, identity.c_str(),
                      static_cast<int>(identity.size()), upper.data(),
                      static_cast<int>(upper.size()), nullptr, nullptr,
                      0) == static_cast<int>(upper.size())) {
      identity = std::move(upper);
    }
  }
  return identity;
}

bool isInsideFolder(const std::wstring& pathIdentity, const std::wstring& folderIdentity) {
  if (folderIdentity.empty() || pathIdentity.size() <= folderIdentity.size()) return false;
  if (pathIdentity.compare(0, folderIdentity.size(), folderIdentity) != 0) return false;
  return folderIdentity.back() == L'\\' || pathIdentity[folderIdentity.size()] == L'\\';
}

}  // namespace tu
