// Windows: BCryptGenRandom, CreateFileW(CREATE_NEW) with a protected DACL that grants the
// current user alone, and the console's mode and size.
#include <windows.h>
// windows.h first: these need its types.
#include <bcrypt.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "core/text_win.h"
#include "tarnbuilder/system.h"

namespace tu::builder {

namespace {

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // Closes now and reports whether closing worked.
  bool close() {
    const bool ok = CloseHandle(handle_) != 0;
    handle_ = nullptr;
    return ok;
  }

 private:
  HANDLE handle_;
};

// Memory the system allocated with LocalAlloc (SID strings, security descriptors).
template <typename T>
class LocalMemory {
 public:
  LocalMemory() = default;
  ~LocalMemory() {
    if (pointer_ != nullptr) LocalFree(pointer_);
  }
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;
  T* get() const { return pointer_; }
  T** out() { return &pointer_; }

 private:
  T* pointer_ = nullptr;
};

std::string systemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text != nullptr ? text : L"", length);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(code) : wideToUtf8(message);
}

// "D:P(A;;FA;;;<user SID>)": full access for the current user, nothing inherited, nobody else.
bool ownerOnlyDescriptor(LocalMemory<void>& descriptor, std::string& error) {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) {
    error = "cannot read the current user: " + systemMessage(GetLastError());
    return false;
  }
  Handle token(rawToken);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
    error = "cannot read the current user: " + systemMessage(GetLastError());
    return false;
  }
  LocalMemory<wchar_t> sid;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, sid.out())) {
    error = "cannot read the current user: " + systemMessage(GetLastError());
    return false;
  }
  const std::wstring sddl = L"D:P(A;;FA;;;" + std::wstring(sid.get()) + L")";
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                            descriptor.out(), nullptr)) {
    error = "cannot build the file's permissions: " + systemMessage(GetLastError());
    return false;
  }
  return true;
}

}  // namespace

bool secureRandom(void* data, std::size_t size, std::string& error) {
  auto* out = static_cast<unsigned char*>(data);
  while (size > 0) {
    const ULONG chunk = size > 0x10000000 ? 0x10000000 : static_cast<ULONG>(size);
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, out, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      error = "the system's random source failed";
      return false;
    }
    out += chunk;
    size -= chunk;
  }
  return true;
}

bool fileSizeAndStamp(const std::filesystem::path& path, std::uint64_t& size, std::string& stamp) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  // The 64-bit file time: 100-nanosecond steps since 1601.
  stamp = std::to_string((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime);
  return true;
}

CreateResult createOwnerOnlyFile(const std::filesystem::path& path, std::string_view data,
                                 std::string& error) {
  LocalMemory<void> descriptor;
  if (!ownerOnlyDescriptor(descriptor, error)) return CreateResult::Failed;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
  // CREATE_NEW makes "does it exist" and "create it" one step, so no file is ever replaced.
  Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return CreateResult::Exists;
    error = systemMessage(code);
    return CreateResult::Failed;
  }
  DWORD wrote = 0;
  bool ok =
      WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &wrote, nullptr) != 0 &&
      wrote == data.size() && FlushFileBuffers(file.get()) != 0;
  const DWORD code = GetLastError();
  if (!file.close()) ok = false;
  if (!ok) {
    error = systemMessage(code);
    DeleteFileW(path.c_str());
    return CreateResult::Failed;
  }
  return CreateResult::Created;
}

bool stderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int terminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return columns;
  }
  return 80;
}

}  // namespace tu::builder
