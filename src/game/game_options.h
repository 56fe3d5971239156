// The game's display options: three keys of the "[Video]" section of its INI-style options
// file (system/Option.ini by default). Reading takes what the section gives; writing changes
// exactly those three lines (or adds them) and carries every other byte of every other line
// along, so the player's other settings survive. Main thread.
//
// The file's text: lines end at line feeds, a carriage return before one belongs to the line
// ending. A line whose trimmed text starts with '[' is a section header, "[Video]" in any
// letter case. Inside it a line holding '=' is a key line: key before the first '=', value
// after it, both trimmed of " \t\r\n"; key names compare in ASCII lower case. No byte-order
// mark, quoting, escaping or comment syntax is recognised.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tu {

struct DisplayOptions {
  bool windowed = true;       // StartupFullScreen: "False" when windowed, "True" when not
  std::int32_t width = 1024;  // GamePlayViewportX
  std::int32_t height = 768;  // GamePlayViewportY
};

// Applies every one of the three keys that the text's "[Video]" sections give (a later line
// wins). Numbers are read by atoi's rules (blanks, sign, digits up to the first other byte; no
// digits give 0; out of range saturates); windowed is true unless the value is "true" in any
// letter case.
void applyGameOptionsText(std::string_view text, DisplayOptions& options);

// The text with the three values merged in: existing key lines of "[Video]" are replaced
// whole (Key=Value), missing keys are added after the section's last non-blank line, and a
// missing section is added at the top. Every line is ended by CR LF, except the last when the
// text was empty.
std::string mergeGameOptionsText(std::string_view text, const DisplayOptions& options);

// False when the file cannot be read (`options` unchanged).
bool readGameOptions(const std::filesystem::path& file, DisplayOptions& options);

// Merges the values into the file and replaces it atomically. A missing file is created. A
// file that exists but cannot be read (or is not a regular file) is left alone and the answer
// is false: writing it from an empty text would throw away every other setting in it.
bool writeGameOptions(const std::filesystem::path& file, const DisplayOptions& options);

}  // namespace tu
