// MainWindow: the launcher's one window ("TarnLauncherWindow"), filled by the web view, and the
// program's implementation of Host: what the page bridge, the commands and the update worker
// need of the window and the desktop. Windows builds only.
//
// Threads: create(), the window procedure and every Host method except post() run on the main
// thread. post() may be called from any thread; it turns a MainMessage into one of the
// launcher's window messages, whose payload (a heap text or path) then belongs to the window
// procedure, which frees it after use.
//
// A handler of the web view may sit in a modal loop (the "drag" command moves the window, "play"
// may wait for the elevation prompt), which dispatches this window's messages meanwhile. Those
// that would close or replace the view (WM_CLOSE, the self-update hand-over, the view's failure
// and recovery) wait until that handler has returned. Nothing the C++ library throws leaves the
// window procedure.
#pragma once

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "ui/host.h"
#include "ui/web_view_win.h"

namespace tu {

// The launcher's own window messages.
inline constexpr UINT WM_APP_POST_JSON = WM_APP + 1;    // lParam: std::string* page message
inline constexpr UINT WM_APP_SELF_UPDATE = WM_APP + 2;  // lParam: std::filesystem::path*
inline constexpr UINT WM_APP_UPDATE_DONE = WM_APP + 3;  // lParam: 0
// The web view's runtime failed (wParam: the HRESULT) or one of its processes died (wParam: a
// WebView::Recovery); handled here, outside the runtime's handlers.
inline constexpr UINT WM_APP_WEBVIEW_FAILED = WM_APP + 4;
inline constexpr UINT WM_APP_WEBVIEW_RECOVER = WM_APP + 5;

inline constexpr wchar_t kMainWindowClass[] = L"TarnLauncherWindow";

// What the window procedure hands on to the rest of the launcher (main thread).
class MainWindowEvents {
 public:
  virtual ~MainWindowEvents() = default;
  // One of the launcher's window messages, as it was posted (WM_APP_POST_JSON,
  // WM_APP_SELF_UPDATE, WM_APP_UPDATE_DONE), in posting order.
  virtual void handleMainMessage(MainMessage message) = 0;
  // WM_CLOSE, before the window is destroyed: hide the window, stop what runs and wait for it.
  virtual void closing() = 0;
  virtual void handleWebMessage(const std::string& text) = 0;  // a command from the page
  virtual void openExternalUrl(const std::string& url) = 0;
  virtual std::filesystem::path startPage() = 0;
};

class MainWindow final : public Host {
 public:
  MainWindow(HINSTANCE module, MainWindowEvents& events, bool devMode);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // createMainWindow: registers the class, creates the window centred on the primary monitor
  // at that monitor's DPI, and shows it. False when the window cannot be created.
  bool create(const std::wstring& title);
  // createWebView: starts the asynchronous creation of the view (user data under dataFolder).
  void createWebView(const std::filesystem::path& dataFolder);
  // Destroys the window at once, without WM_CLOSE's stop-and-wait (the self-update hand-over
  // has already done its part).
  void destroy();
  HWND handle() const { return window_.load(); }

  // Frees the payloads of launcher messages still queued after the window has gone.
  static void discardQueuedMessages();

  // Host
  bool post(MainMessage message) override;
  bool hasWebView() const override;
  void deliverToWebView(const std::string& json) override;
  void hideWindow() override;
  void minimizeWindow() override;
  void closeWindow() override;
  void startWindowDrag() override;
  void shellOpen(const std::string& url) override;
  ProcessStartResult startProcess(const std::filesystem::path& program,
                                  const std::string& arguments,
                                  const std::filesystem::path& workingFolder) override;
  std::vector<DisplayMode> displayModes() override;

 private:
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  // Posts again what waited for the web view's handler to return.
  void postDeferred();

  HINSTANCE module_;
  MainWindowEvents& events_;
  std::atomic<HWND> window_{nullptr};
  WebView webView_;
  bool closing_ = false;  // WM_CLOSE has begun: no dialog, no recovery any more
  std::vector<MSG> deferred_;
};

}  // namespace tu
