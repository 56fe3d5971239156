// File and path helpers: the only way the rest of the program touches files and paths.
//
// Contents travel as byte texts (std::string, any byte allowed). Paths are native
// std::filesystem::path values; texts from documents (UTF-8, '/'-separated) become paths only
// through resolveRelative / pathFromUtf8, which on Windows convert with the system's UTF-8
// conversion (ill-formed input becomes U+FFFD, nothing throws). None of these throws and none
// words an error message: callers choose their own words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tu {

// Reads the whole file. False when it cannot be opened (missing and unreadable alike); `out`
// is then untouched.
bool readFile(const std::filesystem::path& path, std::string& out);

// Makes `path` hold exactly `data` so that no reader ever sees it half-written: writes the
// sibling path + ".tmp" (creating missing parent folders), flushes and closes it, then renames
// it over the target with replaceFile; when that fails, deletes the target and renames once
// more. A failed write, flush or close returns false without touching the target.
bool writeFileAtomic(const std::filesystem::path& path, std::string_view data);

// One rename of `from` onto `to` that replaces an existing target in a single step and falls
// back to copy-and-delete across volumes. Returns the platform's error code, 0 on success.
int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// The file's last-write time as decimal text (following links), or "" when it cannot be read.
// Only ever compared for equality; it changes whenever the file is rewritten.
std::string fileStamp(const std::filesystem::path& path);

// Lowercase hexadecimal, two digits per byte, high digit first.
std::string hexEncode(const void* data, std::size_t size);

// The text with 'A'-'Z' replaced by 'a'-'z'; every other byte unchanged.
std::string toLowerAscii(std::string_view text);

// Whether a '/'-separated relative UTF-8 path from outside the program (manifest entries,
// removal paths, UI pack names, the configuration's game and options paths) may be used under
// a folder: 1..400 bytes, not rooted, no '\' or ':', no control byte or any of < > " | ? *;
// no piece that is empty, ends in a dot or a space (so not "." or ".." either), or is a
// Windows device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$; with or without an
// extension, in any letter case). Bytes 0x80 and above are allowed.
bool isSafeRelativePath(std::string_view path);

// The native path of a '/'-separated UTF-8 relative text under `base`, one native separator
// between pieces. No "." / ".." processing: callers pass texts that passed isSafeRelativePath.
std::filesystem::path resolveRelative(const std::filesystem::path& base, std::string_view relative);

// Conversions between native paths and UTF-8 text (for messages and documents).
std::string pathToUtf8(const std::filesystem::path& path);
std::filesystem::path pathFromUtf8(std::string_view utf8);

}  // namespace tu
