// clientFolderHash: the number that tells client folders apart on one machine: FNV-1a 32-bit
// over a path's UTF-16LE bytes (two bytes per unit, no terminator), the same on every platform
// for the same text, with no case folding or normalisation of its own. The launcher hashes the
// folder's identity (core/path_identity_win.h) for the single-instance mutex and the folder of
// the unpacked page, so that every spelling of one folder gets one number; and the path as the
// system reported it for the desktop-shortcut marker, which existing markers were made with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tu {

// FNV-1a 32-bit: start 2166136261; per byte, XOR it in and multiply by 16777619 mod 2^32.
std::uint32_t fnv1a32(const void* data, std::size_t size);

// UTF-8 to UTF-16 without any platform help; each maximal ill-formed subsequence becomes
// U+FFFD, nothing fails.
std::u16string utf8ToUtf16(std::string_view utf8);

// The hash of a path given as UTF-8 text, e.g. "C:\Games\L2" -> 2906646095.
std::uint32_t clientFolderHashOfText(std::string_view utf8PathText);
// The hash of a native path, as the system reported it.
std::uint32_t clientFolderHash(const std::filesystem::path& clientDir);

}  // namespace tu
