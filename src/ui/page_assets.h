// Where the page's files come from. Decided once, when the web view is set up: the server's
// own page in the client's "ui" folder when it has an "index.html"; else the UI pack built
// into the program, unpacked into the data folder once per build; else the four single files
// built into the program, kept in the data folder's "ui-default".
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "ui/program_resources.h"

namespace tu {

// The extracted pack's folder name under the data folder: "ui-" + (hash mod 100000000) in
// decimal, so each client folder on the machine has its own copy.
std::string uiPackFolderName(std::uint32_t clientFolderHash);

// The "index.html" to open; `folderHash` names the client folder's copy of the pack (the hash
// of its identity, so every spelling of one folder shares one copy). Never fails; at worst the
// returned file was not written (data folder not writable). Main thread.
std::filesystem::path resolveUiStartPage(const std::filesystem::path& clientDir,
                                         const std::filesystem::path& dataFolder,
                                         std::uint32_t folderHash,
                                         const ResourceLoader& loadResource = loadProgramResource);

}  // namespace tu
