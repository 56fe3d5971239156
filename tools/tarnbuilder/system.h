// What tarnbuilder needs from the operating system beyond the project's file helpers; one
// implementation per platform (system_posix.cpp, system_win.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tu::builder {

// Fills `data` from the system's secure random source (getrandom(2) or /dev/urandom;
// BCryptGenRandom on Windows). False with an error text when the source fails.
bool secureRandom(void* data, std::size_t size, std::string& error);

// The size and last-write stamp of a file (links followed), from one query of the system.
// The stamp changes whenever the file is rewritten and is only ever compared for equality.
// False when the file cannot be queried.
bool fileSizeAndStamp(const std::filesystem::path& path, std::uint64_t& size, std::string& stamp);

enum class CreateResult { Created, Exists, Failed };

// Creates `path` holding `data`, readable and writable by its owner only (mode 0600; on
// Windows a protected DACL granting the current user alone), failing with Exists when anything
// is already there: the file is never replaced. On Failed, `error` says why and no file is left.
CreateResult createOwnerOnlyFile(const std::filesystem::path& path, std::string_view data,
                                 std::string& error);

// Whether the process's standard error is an interactive terminal (the progress bar is drawn
// only there) and, if so, its width in columns (80 when unknown).
bool stderrIsTerminal();
int terminalColumns();

}  // namespace tu::builder
