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
#include <vector>

namespace tu {

// Reads the whole file. False when it cannot be opened (missing and unreadable alike); `out`
// is then untouched.
bool readFile(const std::filesystem::path& path, std::string& out);

// Makes `path` hold exactly `data` so that no reader ever sees it half-written and a power cut
// leaves the old file or the new one: writes the sibling path + ".tmp" (creating missing parent
// folders), flushes it to disk, closes it and moves it into place with moveIntoPlace. A failed
// write, flush or close returns false without touching the target.
bool writeFileAtomic(const std::filesystem::path& path, std::string_view data);

// One rename of `from` onto `to` that replaces an existing target in a single step and falls
// back to copy-and-delete across volumes. Returns the platform's error code, 0 on success.
int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Whether a replaceFile error means that another program holds one of the files for a moment
// (a virus scanner or the search indexer reading a file just written): sharing and access
// errors on Windows, "busy" elsewhere. Such a rename may work when tried again shortly after.
bool isFileInUseError(int error);

// Renames a finished temporary over `target` (replaceFile). When that fails, clears the
// target's read-only attribute and tries again for about a second, as a virus scanner or an
// indexer may hold either file for a moment. Never deletes the target: when every try fails
// the old file stays. False when the target was not replaced. The caller flushes the
// temporary before (flushToDisk) and the folder after (flushFolder).
bool moveIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& target);

// Flushes the file's data to the disk (fsync / FlushFileBuffers). Called before the file is
// renamed into place: otherwise a power cut can leave the new name with the right size and
// time but no content. False when the file cannot be opened or the flush fails.
bool flushToDisk(const std::filesystem::path& file);

// Starts writing the file's data to the disk without waiting for it (Linux; elsewhere the
// system does so on its own soon), so that a flushToDisk a little later has little left to do.
void beginFlush(const std::filesystem::path& file);

// Makes the renames done in `folder` durable (POSIX flushes the folder; Windows' file systems
// need nothing). Failures are ignored: the rename has happened either way.
void flushFolder(const std::filesystem::path& folder);

// Lets the owner write the file again (Windows: clears the read-only attribute; POSIX: adds
// the owner's write permission). Failures are ignored.
void makeWritable(const std::filesystem::path& path);

// The file's last-write time as decimal text (following links), or "" when it cannot be read.
// Only ever compared for equality; it changes whenever the file is rewritten.
std::string fileStamp(const std::filesystem::path& path);

// Lowercase hexadecimal, two digits per byte, high digit first.
std::string hexEncode(const void* data, std::size_t size);
// The value of one hexadecimal digit (either case), or -1 for any other character.
int hexDigitValue(char c);
// One byte per pair of hexadecimal digits (either case), first digit high. False on an odd
// length or any other character (`out` then holds no meaning). "" gives no bytes.
bool hexDecode(std::string_view hex, std::vector<std::uint8_t>& out);

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
