#include "e2e/launcher_driver.h"

#include <atomic>
#include <sstream>
#include <system_error>
#include <utility>

#include "core/files.h"
#include "core/text_win.h"

namespace tu::e2e {
namespace fs = std::filesystem;

namespace {

// The stable channel's key, written in the 32-bit view like the runtime's updater does.
constexpr wchar_t kClientStateKey[] =
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
constexpr wchar_t kVersion[] = L"120.0.2210.91";

std::wstring windowClass(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// The lines of a text file; none when it cannot be read.
std::vector<std::string> linesOf(const fs::path& file) {
  std::string text;
  readFile(file, text);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

HWND findTopWindow(DWORD pid, const wchar_t* className) {
  for (HWND window = FindWindowExW(nullptr, nullptr, className, nullptr); window;
       window = FindWindowExW(nullptr, window, className, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid) return window;
  }
  return nullptr;
}

}  // namespace

std::wstring windowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

bool writeRegistryText(HKEY root, const wchar_t* key, const wchar_t* name,
                       const std::wstring& value, REGSAM view) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS status =
      RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

void prepareWinePrefix() {
  writeRegistryText(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Managed", L"N");
  writeRegistryText(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug",
                    L"Debugger", L"");
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
  for (int waited = 0;; waited += 20) {
    if (condition()) return true;
    if (waited >= timeoutMs) return false;
    Sleep(20);
  }
}

FakeRuntime::FakeRuntime(const fs::path& root, const fs::path& dll)
    : versionFolder_(root / L"EdgeWebView" / L"Application" / kVersion) {
  // The launcher under test has this program's bitness, and its loader looks in the folder of
  // that bitness.
  const wchar_t* arch = sizeof(void*) == 8 ? L"x64" : L"x86";
  const fs::path target = versionFolder_ / L"EBWebView" / arch / L"EmbeddedBrowserWebView.dll";
  std::error_code error;
  fs::create_directories(target.parent_path(), error);
  fs::copy_file(dll, target, fs::copy_options::overwrite_existing, error);
  registerInstall();
}

FakeRuntime::~FakeRuntime() {
  unregisterInstall();
}

void FakeRuntime::registerInstall() {
  writeRegistryText(HKEY_CURRENT_USER, kClientStateKey, L"EBWebView", versionFolder_.native(),
                    KEY_WOW64_32KEY);
}

void FakeRuntime::unregisterInstall() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kClientStateKey, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  RegDeleteValueW(key, L"EBWebView");
  RegCloseKey(key);
}

void FakeRuntime::setBehaviour(const std::string& words) {
  writeFileAtomic(versionFolder_ / fake::kSettingsName, words);
}

std::vector<Event> FakeRuntime::events(DWORD pid, const std::string& name) const {
  std::vector<Event> events;
  for (const std::string& line : linesOf(versionFolder_ / fake::kLogName)) {
    Event event;
    std::istringstream fields(line);
    if (!(fields >> event.pid >> event.name)) continue;
    fields.get();  // the space before the text
    std::getline(fields, event.text);
    if ((pid == 0 || event.pid == pid) && (name.empty() || event.name == name))
      events.push_back(std::move(event));
  }
  return events;
}

LauncherProcess LauncherProcess::start(const fs::path& exe, const std::wstring& arguments,
                                       const fs::path& folder) {
  std::wstring commandLine = L"\"" + exe.native() + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  LauncherProcess process;
  if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     folder.c_str(), &startup, &info)) {
    CloseHandle(info.hThread);
    process.process_ = info.hProcess;
    process.pid_ = info.dwProcessId;
  }
  return process;
}

LauncherProcess LauncherProcess::attach(DWORD pid) {
  LauncherProcess process;
  process.process_ =
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
  if (process.process_) process.pid_ = pid;
  return process;
}

LauncherProcess::LauncherProcess(LauncherProcess&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), pid_(std::exchange(other.pid_, 0)) {}

LauncherProcess::~LauncherProcess() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

bool LauncherProcess::waitForExit(int timeoutMs) {
  return process_ && WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
}

DWORD LauncherProcess::exitCode() const {
  DWORD code = STILL_ACTIVE;
  if (process_) GetExitCodeProcess(process_, &code);
  return code;
}

bool LauncherProcess::play(fake::Command command, const std::string& text) const {
  const std::wstring title = fake::kWindowTitlePrefix + std::to_wstring(pid_);
  HWND window = FindWindowExW(HWND_MESSAGE, nullptr, fake::kWindowClass, title.c_str());
  if (!window) return false;
  const std::wstring wide = utf8ToWide(text);
  COPYDATASTRUCT data{};
  data.dwData = command;
  data.cbData = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
  data.lpData = const_cast<wchar_t*>(wide.data());
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                           30000, &result)) {
    return false;
  }
  return result == 1;
}

bool LauncherProcess::sync(const FakeRuntime& runtime) const {
  static std::atomic<int> counter{0};
  const std::string marker = std::to_string(++counter);
  if (!play(fake::kSync, marker)) return false;
  return waitUntil([&] {
    for (const Event& event : runtime.events(pid_, "sync")) {
      if (event.text == marker) return true;
    }
    return false;
  });
}

HWND LauncherProcess::mainWindow() const {
  return findTopWindow(pid_, L"TarnLauncherWindow");
}

HWND LauncherProcess::waitForDialog() const {
  HWND dialog = nullptr;
  const bool shown = waitUntil(
      [&] { return (dialog = findTopWindow(pid_, L"#32770")) && IsWindowVisible(dialog); });
  return shown ? dialog : nullptr;
}

MessageBoxContent readMessageBox(HWND dialog) {
  MessageBoxContent content;
  content.caption = windowText(dialog);
  content.ok = GetDlgItem(dialog, IDOK) != nullptr;
  content.yes = GetDlgItem(dialog, IDYES) != nullptr;
  content.no = GetDlgItem(dialog, IDNO) != nullptr;
  // The message is the box's one static control with text (the icon's static has none).
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (_wcsicmp(windowClass(child).c_str(), L"Static") == 0) {
      std::wstring text = windowText(child);
      if (!text.empty()) content.text = std::move(text);
    }
  }
  return content;
}

void pressButton(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::vector<std::string> recorderLines(const fs::path& recorderExe) {
  return linesOf(fs::path(recorderExe.native() + L".log"));
}

}  // namespace tu::e2e
