#include "ui/main_window_win.h"

#include <dwmapi.h>
#include <shellapi.h>

#include <memory>

#include "core/text_win.h"

namespace tu {
namespace {

constexpr DWORD kWindowStyle = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;  // no caption, no frame
constexpr DWORD kCornerPreference = 33;  // DWMWA_WINDOW_CORNER_PREFERENCE (Windows 11)
constexpr DWORD kRoundCorners = 2;       // DWMWCP_ROUND

int systemDpi() {
  // GetDpiForSystem exists from Windows 10 (1607) on; older systems report the screen's.
  using GetDpiForSystemFn = UINT(WINAPI*)();
  if (HMODULE user32 = GetModuleHandleW(L"user32")) {
    if (auto getDpi = reinterpret_cast<GetDpiForSystemFn>(
            reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForSystem")))) {
      return static_cast<int>(getDpi());
    }
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi;
}

}  // namespace

SIZE mainWindowSize(int dpi) {
  return SIZE{MulDiv(1000, dpi, 96), MulDiv(620, dpi, 96)};
}

MainWindow::MainWindow(HINSTANCE module, MainWindowEvents& events, bool devMode)
    : module_(module),
      events_(events),
      webView_(WebView::Callbacks{
                   [this](const std::string& text) { events_.handleWebMessage(text); },
                   [this](const std::string& url) { events_.openExternalUrl(url); },
                   [this] { return events_.startPageUrl(); },
               },
               devMode) {}

MainWindow::~MainWindow() {
  destroy();
  if (background_) DeleteObject(background_);
}

bool MainWindow::create(const std::wstring& title) {
  background_ = CreateSolidBrush(RGB(0x0E, 0x0C, 0x0F));  // the page's background colour

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DROPSHADOW;
  windowClass.lpfnWndProc = &MainWindow::windowProcedure;
  windowClass.hInstance = module_;
  windowClass.hIcon = static_cast<HICON>(
      LoadImageW(module_, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                 GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR | LR_SHARED));
  windowClass.hIconSm = static_cast<HICON>(
      LoadImageW(module_, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                 GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR | LR_SHARED));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = background_;
  windowClass.lpszClassName = kMainWindowClass;
  RegisterClassExW(&windowClass);

  const SIZE size = mainWindowSize(systemDpi());
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + ((work.right - work.left) - size.cx) / 2;
  const int y = work.top + ((work.bottom - work.top) - size.cy) / 2;

  HWND window = CreateWindowExW(WS_EX_APPWINDOW, kMainWindowClass, title.c_str(), kWindowStyle, x,
                                y, size.cx, size.cy, nullptr, nullptr, module_, this);
  if (!window) return false;

  // Older systems do not know the attribute and keep square corners.
  DwmSetWindowAttribute(window, kCornerPreference, &kRoundCorners, sizeof(kRoundCorners));
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  return true;
}

void MainWindow::createWebView(const std::filesystem::path& dataFolder) {
  if (HWND window = window_.load()) webView_.create(window, dataFolder);
}

void MainWindow::destroy() {
  if (HWND window = window_.load()) DestroyWindow(window);
}

LRESULT CALLBACK MainWindow::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_.store(window);
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->handle(message, wParam, lParam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND window = window_.load();
  switch (message) {
    case WM_APP_POST_JSON: {
      std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(lParam));
      if (text) events_.handleMainMessage({MainMessage::Kind::PostJson, std::move(*text), {}});
      return 0;
    }
    case WM_APP_SELF_UPDATE: {
      std::unique_ptr<std::filesystem::path> path(reinterpret_cast<std::filesystem::path*>(lParam));
      if (path) events_.handleMainMessage({MainMessage::Kind::SelfUpdate, {}, std::move(*path)});
      return 0;
    }
    case WM_APP_UPDATE_DONE:
      events_.handleMainMessage({MainMessage::Kind::UpdateDone, {}, {}});
      return 0;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_SIZE: webView_.resize(); return 0;
    case WM_CLOSE:
      // The window stays until the update worker has stopped: it may still be writing files.
      events_.closing();
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      webView_.close();
      window_.store(nullptr);  // from here on, posts from workers are dropped
      PostQuitMessage(0);
      return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

void MainWindow::discardQueuedMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_APP_POST_JSON, WM_APP_SELF_UPDATE, PM_REMOVE)) {
    if (message.message == WM_APP_POST_JSON) {
      delete reinterpret_cast<std::string*>(message.lParam);
    } else {
      delete reinterpret_cast<std::filesystem::path*>(message.lParam);
    }
  }
}

bool MainWindow::post(MainMessage message) {
  const HWND window = window_.load();
  if (!window) return false;
  switch (message.kind) {
    case MainMessage::Kind::PostJson: {
      auto text = std::make_unique<std::string>(std::move(message.text));
      if (!PostMessageW(window, WM_APP_POST_JSON, 0, reinterpret_cast<LPARAM>(text.get()))) {
        return false;
      }
      text.release();  // the window procedure owns it now
      return true;
    }
    case MainMessage::Kind::SelfUpdate: {
      auto path = std::make_unique<std::filesystem::path>(std::move(message.path));
      if (!PostMessageW(window, WM_APP_SELF_UPDATE, 0, reinterpret_cast<LPARAM>(path.get()))) {
        return false;
      }
      path.release();
      return true;
    }
    case MainMessage::Kind::UpdateDone:
      return PostMessageW(window, WM_APP_UPDATE_DONE, 0, 0) != FALSE;
  }
  return false;
}

bool MainWindow::hasWebView() const {
  return webView_.exists();
}

void MainWindow::deliverToWebView(const std::string& json) {
  webView_.postJson(json);
}

void MainWindow::minimizeWindow() {
  if (HWND window = window_.load()) ShowWindow(window, SW_MINIMIZE);
}

void MainWindow::closeWindow() {
  if (HWND window = window_.load()) PostMessageW(window, WM_CLOSE, 0, 0);
}

void MainWindow::startWindowDrag() {
  HWND window = window_.load();
  if (!window) return;
  // The system's move loop runs until the mouse button is released.
  ReleaseCapture();
  SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void MainWindow::shellOpen(const std::string& url) {
  const std::wstring address = utf8ToWide(url);
  ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tu

namespace tu {

ProcessStartResult MainWindow::startProcess(const std::filesystem::path& program,
                                            const std::string& arguments,
                                            const std::filesystem::path& workingFolder) {
  ProcessStartResult result;
  std::wstring commandLine = L"\"" + program.native() + L"\"";
  if (!arguments.empty()) commandLine += L" " + utf8ToWide(arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     workingFolder.c_str(), &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.started = true;
    return result;
  }
  const DWORD error = GetLastError();
  if (error != 740) {  // ERROR_ELEVATION_REQUIRED
    result.error = error;
    return result;
  }
  // The program asks for administrator rights: let the shell ask the player.
  const std::wstring parameters = utf8ToWide(arguments);
  SHELLEXECUTEINFOW shell{};
  shell.cbSize = sizeof(shell);
  shell.fMask = SEE_MASK_NOASYNC;
  shell.hwnd = window_.load();
  shell.lpVerb = L"open";
  shell.lpFile = program.c_str();
  shell.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  shell.lpDirectory = workingFolder.c_str();
  shell.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&shell)) {
    result.started = true;
    return result;
  }
  const DWORD shellError = GetLastError();
  if (shellError == ERROR_CANCELLED) {
    result.declined = true;
  } else {
    result.error = shellError;
  }
  return result;
}

std::vector<DisplayMode> MainWindow::displayModes() {
  std::vector<DisplayMode> modes;
  DEVMODEW mode{};
  mode.dmSize = sizeof(mode);
  for (DWORD i = 0; EnumDisplaySettingsW(nullptr, i, &mode); ++i) {
    modes.push_back(DisplayMode{static_cast<int>(mode.dmPelsWidth),
                                static_cast<int>(mode.dmPelsHeight),
                                static_cast<int>(mode.dmBitsPerPel)});
  }
  return modes;
}

}  // namespace tu
