#include <windows.h>

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "core/text_win.h"
#include "game/desktop_shortcut.h"

namespace tu {

namespace {

// Owns one COM interface reference.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (pointer_) pointer_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  void** out() { return reinterpret_cast<void**>(&pointer_); }

 private:
  T* pointer_ = nullptr;
};

// Owns a text the shell allocated with the task allocator.
class TaskText {
 public:
  TaskText() = default;
  ~TaskText() { CoTaskMemFree(text_); }
  TaskText(const TaskText&) = delete;
  TaskText& operator=(const TaskText&) = delete;
  PWSTR* out() { return &text_; }
  PCWSTR get() const { return text_; }

 private:
  PWSTR text_ = nullptr;
};

}  // namespace

std::optional<std::filesystem::path> userDesktopFolder() {
  TaskText folder;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, folder.out())) || !folder.get()) {
    return std::nullopt;
  }
  return std::filesystem::path(std::wstring(folder.get()));
}

bool createShellLink(const std::filesystem::path& linkFile, const std::filesystem::path& exePath,
                     const std::filesystem::path& workingFolder, const std::string& description) {
  ComRef<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.out()))) {
    return false;
  }
  // A link that lacks one of these still starts the launcher; only the save decides.
  link->SetPath(exePath.c_str());
  link->SetWorkingDirectory(workingFolder.c_str());
  link->SetIconLocation(exePath.c_str(), 0);
  link->SetDescription(utf8ToWide(description).c_str());
  ComRef<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return false;
  return SUCCEEDED(file->Save(linkFile.c_str(), TRUE));
}

}  // namespace tu
