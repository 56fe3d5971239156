// The program's own data resources (RCDATA): the page's files and the UI pack. Windows reads
// them from the executable; other builds carry none.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tu {

// Resource ids of the page's files.
inline constexpr int kPageIndexResource = 101;   // index.html
inline constexpr int kPageStyleResource = 102;   // style.css
inline constexpr int kPageScriptResource = 103;  // app.js
inline constexpr int kPageLogoResource = 104;    // logo.png
inline constexpr int kUiPackResource = 201;

// The bytes of the RCDATA resource `id` of the running program, or nothing when it cannot be
// found, loaded or locked (always nothing outside Windows).
std::optional<std::string> loadProgramResource(int id);

// Where resources come from: loadProgramResource in the program, a table in tests.
using ResourceLoader = std::function<std::optional<std::string>(int id)>;

}  // namespace tu
