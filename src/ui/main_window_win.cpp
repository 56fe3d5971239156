#include "ui/main_window_win.h"

#include <dwmapi.h>
#include <shellapi.h>

#include <memory>

#include "core/text_win.h"
#include "game/display_modes_win.h"
#include "game/process_start_win.h"
#include "ui/external_url.h"
#include "ui/window_placement.h"

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

// The DPI of one monitor, which differs from the session's system DPI on a desktop whose
// monitors are scaled differently. GetDpiForMonitor exists from Windows 8.1 on (shcore.dll);
// without it every monitor has the system DPI.
int monitorDpi(HMONITOR monitor) {
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const GetDpiForMonitorFn getDpi = [] {
    HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return shcore ? reinterpret_cast<GetDpiForMonitorFn>(
                        reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
                  : nullptr;
  }();
  constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
  UINT x = 0;
  UINT y = 0;
  if (getDpi && monitor && SUCCEEDED(getDpi(monitor, kEffectiveDpi, &x, &y)) && x > 0) {
    return static_cast<int>(x);
  }
  return systemDpi();
}

PixelRect pixelRect(const RECT& rect) {
  return {rect.left, rect.top, rect.right, rect.bottom};
}

PixelRect workAreaOf(HMONITOR monitor) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (monitor && GetMonitorInfoW(monitor, &info)) return pixelRect(info.rcWork);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return pixelRect(work);
}

// Messages that close or replace the web view, which must not happen under a handler of it.
bool endsTheView(UINT message) {
  return message == WM_CLOSE || message == WM_APP_SELF_UPDATE || message == WM_APP_WEBVIEW_FAILED ||
         message == WM_APP_WEBVIEW_RECOVER;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE module, MainWindowEvents& events, bool devMode)
    : module_(module),
      events_(events),
      webView_(WebView::Callbacks{
                   [this](const std::string& text) { events_.handleWebMessage(text); },
                   [this](const std::string& url) { events_.openExternalUrl(url); },
                   [this] { return events_.startPage(); },
                   [this](HRESULT result) {
                     PostMessageW(window_.load(), WM_APP_WEBVIEW_FAILED,
                                  static_cast<WPARAM>(static_cast<DWORD>(result)), 0);
                   },
                   [this](WebView::Recovery recovery) {
                     PostMessageW(window_.load(), WM_APP_WEBVIEW_RECOVER,
                                  static_cast<WPARAM>(recovery), 0);
                   },
                   [this] { postDeferred(); },
               },
               devMode) {}

MainWindow::~MainWindow() {
  destroy();
  for (const MSG& message : deferred_) {
    if (message.message == WM_APP_SELF_UPDATE) {
      delete reinterpret_cast<std::filesystem::path*>(message.lParam);
    }
  }
}

bool MainWindow::create(const std::wstring& title) {
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
  windowClass.hbrBackground = CreateSolidBrush(RGB(0x0E, 0x0C, 0x0F));  // the page's background
  windowClass.lpszClassName = kMainWindowClass;
  // A registered class owns its brush; the system deletes it with the class. A class already
  // registered (a second window in one process) keeps its own.
  if (!RegisterClassExW(&windowClass) && windowClass.hbrBackground) {
    DeleteObject(windowClass.hbrBackground);
  }

  // Centred on the primary monitor, sized by that monitor's DPI (the program is per-monitor
  // aware: the pixels are physical), and never larger than its work area.
  const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  const PixelRect placed = mainWindowRect(monitorDpi(primary), workAreaOf(primary));
  HWND window =
      CreateWindowExW(WS_EX_APPWINDOW, kMainWindowClass, title.c_str(), kWindowStyle, placed.left,
                      placed.top, placed.width(), placed.height(), nullptr, nullptr, module_, this);
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
  // Nothing may unwind into the system's frames. A message whose handling threw (out of memory)
  // is dropped, except that a closing window still goes (unless the view's handler runs) and a
  // destroyed one ends the loop.
  try {
    return self->handle(message, wParam, lParam);
  } catch (...) {
    if (message == WM_CLOSE && !self->webView_.insideCallback()) DestroyWindow(window);
    if (message == WM_DESTROY) PostQuitMessage(0);
    return 0;
  }
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND window = window_.load();
  if (endsTheView(message) && webView_.insideCallback()) {
    deferred_.push_back(MSG{window, message, wParam, lParam, 0, {}});
    return 0;
  }
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
    case WM_APP_WEBVIEW_FAILED:
      // A view that fails while the window closes (its creation aborted) needs no dialog.
      if (!closing_) webView_.showRuntimeDialog(static_cast<HRESULT>(static_cast<DWORD>(wParam)));
      return 0;
    case WM_APP_WEBVIEW_RECOVER:
      if (!closing_) webView_.recover(static_cast<WebView::Recovery>(wParam));
      return 0;
    case WM_DPICHANGED: {
      // The suggested rectangle, kept on the work area of the monitor it lies on.
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      const PixelRect placed = keptInside(
          pixelRect(*suggested), workAreaOf(MonitorFromRect(suggested, MONITOR_DEFAULTTONEAREST)));
      SetWindowPos(window, nullptr, placed.left, placed.top, placed.width(), placed.height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_SIZE: webView_.resize(); return 0;
    case WM_MOVE: webView_.notifyMoved(); return 0;
    case WM_CLOSE:
      // The window stays until the update worker has stopped (it may still be writing files),
      // hidden meanwhile.
      closing_ = true;
      events_.closing();
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      closing_ = true;
      webView_.close();
      window_.store(nullptr);  // from here on, posts from workers are dropped
      PostQuitMessage(0);
      return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

void MainWindow::postDeferred() {
  std::vector<MSG> deferred = std::move(deferred_);
  deferred_.clear();
  for (const MSG& message : deferred) {
    if (PostMessageW(message.hwnd, message.message, message.wParam, message.lParam)) continue;
    // The window is gone: the hand-over's path is freed here instead.
    if (message.message == WM_APP_SELF_UPDATE) {
      delete reinterpret_cast<std::filesystem::path*>(message.lParam);
    }
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

void MainWindow::hideWindow() {
  if (HWND window = window_.load()) ShowWindow(window, SW_HIDE);
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
  // Checked again here: this is the last step before the shell, which would run a program
  // for a path as readily as it opens a web page.
  if (!isExternalUrl(url)) return;
  ShellExecuteW(nullptr, L"open", utf8ToWide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tu

namespace tu {

ProcessStartResult MainWindow::startProcess(const std::filesystem::path& program,
                                            const std::string& arguments,
                                            const std::filesystem::path& workingFolder) {
  return startGameProcess(window_.load(), program, arguments, workingFolder);
}

std::vector<DisplayMode> MainWindow::displayModes() {
  return currentDisplayModes();
}

}  // namespace tu
