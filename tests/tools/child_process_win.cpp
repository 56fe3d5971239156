#include <windows.h>

#include <gtest/gtest.h>

#include <mutex>

#include "child_process.h"
#include "core/text_win.h"

namespace tu::test {

namespace fs = std::filesystem;

namespace {

// One argument as the C runtime's command line parser reads it back.
void appendQuoted(std::wstring& line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes double only before a quote, which is then escaped itself.
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

// Control events travel through a console, and a test program started from a pipe has none
// that carries them (under Wine at least): the test gets a console of its own, which every
// child shares. Its own output keeps going where it went.
void giveTestAConsole() {
  static std::once_flag once;
  std::call_once(once, [] {
    FreeConsole();
    AllocConsole();
  });
}

HANDLE inheritable(HANDLE handle) {
  SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  return handle;
}

}  // namespace

void ChildProcess::start(const fs::path& program, const std::vector<std::string>& args,
                         const ChildOptions& options) {
  ASSERT_FALSE(options.fileSizeLimit || options.terminal) << "not available on Windows";
  giveTestAConsole();

  std::wstring commandLine;
  appendQuoted(commandLine, program.native());
  for (const std::string& arg : args) {
    commandLine += L' ';
    appendQuoted(commandLine, utf8ToWide(arg));
  }

  HANDLE outRead = nullptr;
  HANDLE outWrite = nullptr;
  ASSERT_TRUE(CreatePipe(&outRead, &outWrite, nullptr, 0));
  const HANDLE errFile = CreateFileW(errFile_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_ALWAYS, 0, nullptr);
  const HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(errFile, INVALID_HANDLE_VALUE);
  ASSERT_NE(nul, INVALID_HANDLE_VALUE);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inheritable(nul);
  startup.hStdOutput = inheritable(outWrite);
  startup.hStdError = inheritable(errFile);
  PROCESS_INFORMATION started{};
  const bool ok = CreateProcessW(
      program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
      nullptr, options.workingDir.empty() ? nullptr : options.workingDir.c_str(), &startup,
      &started);
  const DWORD error = GetLastError();
  CloseHandle(outWrite);
  CloseHandle(errFile);
  CloseHandle(nul);
  if (!ok) CloseHandle(outRead);
  ASSERT_TRUE(ok) << "cannot start " << program << ": error " << error;
  CloseHandle(started.hThread);
  process_ = reinterpret_cast<std::intptr_t>(started.hProcess);
  reader_ = std::thread([this, outRead] {
    collectOutput([outRead](char* buffer, std::size_t size) -> std::size_t {
      DWORD got = 0;
      // A broken pipe is the end: the child and whatever inherited the pipe have closed it.
      if (!ReadFile(outRead, buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
      return got;
    });
    CloseHandle(outRead);
  });
}

ChildProcess::~ChildProcess() {
  const auto handle = reinterpret_cast<HANDLE>(process_);
  if (process_ != -1) {
    if (!reaped_) {
      TerminateProcess(handle, 1);
      wait();
    }
    CloseHandle(handle);
  }
  if (reader_.joinable()) reader_.join();
}

void ChildProcess::interrupt() {
  ASSERT_FALSE(reaped_);
  GenerateConsoleCtrlEvent(CTRL_C_EVENT, GetProcessId(reinterpret_cast<HANDLE>(process_)));
}

int ChildProcess::wait() {
  if (!reaped_) {
    const auto handle = reinterpret_cast<HANDLE>(process_);
    WaitForSingleObject(handle, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(handle, &code);
    status_ = static_cast<int>(code);
    reaped_ = true;
  }
  waitForOutputEnd();
  return status_;
}

int exitCodeOf(int status) {
  return status;
}

}  // namespace tu::test
