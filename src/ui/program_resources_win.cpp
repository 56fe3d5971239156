#include <windows.h>

#include "ui/program_resources.h"

namespace tu {

std::optional<std::string> loadProgramResource(int id) {
  // Resources live as long as the module; nothing here needs releasing.
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (!found) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, found);
  if (!loaded) return std::nullopt;
  const void* data = LockResource(loaded);
  if (!data) return std::nullopt;
  const DWORD size = SizeofResource(module, found);
  return std::string(static_cast<const char*>(data), size);
}

}  // namespace tu
