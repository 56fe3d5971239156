// MainWindow: the launcher's one window ("TarnLauncherWindow"), filled by the web view, and the
// program's implementation of Host: what the page bridge, the commands and the update worker
// need of the window and the desktop. Windows builds only.
//
// Threads: create(), the window procedure and every Host method except post() run on the main
// thread. post() may be called from any thread; it turns a MainMessage into one of the
// launcher's window messages, whose payload (a heap text or path) then belongs to the window
// procedure, which frees it after use.
#pragma once

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "ui/host.h"
#include "ui/web_view_win.h"

namespace tu {

// The launcher's own window messages (wParam 0).
inline constexpr UINT WM_APP_POST_JSON = WM_APP + 1;    // lParam: std::string* page message
inline constexpr UINT WM_APP_SELF_UPDATE = WM_APP + 2;  // lParam: std::filesystem::path*
inline constexpr UINT WM_APP_UPDATE_DONE = WM_APP + 3;  // lParam: 0

inline constexpr wchar_t kMainWindowClass[] = L"TarnLauncherWindow";

// What the window procedure hands on to the rest of the launcher (main thread).
class MainWindowEvents {
 public:
  virtual ~MainWindowEvents() = default;
  // One of the launcher's window messages, as it was posted (WM_APP_POST_JSON,
  // WM_APP_SELF_UPDATE, WM_APP_UPDATE_DONE), in posting order.
  virtual void handleMainMessage(MainMessage message) = 0;
  // WM_CLOSE, before the window is destroyed: stop what runs and wait for it.
  virtual void closing() = 0;
  virtual void handleWebMessage(const std::string& text) = 0;  // a command from the page
  virtual void openExternalUrl(const std::string& url) = 0;
  virtual std::wstring startPageUrl() = 0;
};

class MainWindow final : public Host {
 public:
  MainWindow(HINSTANCE module, MainWindowEvents& events, bool devMode);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // createMainWindow: registers the class, creates, centres and shows the window. False when
  // the window cannot be created.
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

  HINSTANCE module_;
  MainWindowEvents& events_;
  std::atomic<HWND> window_{nullptr};
  HBRUSH background_ = nullptr;
  WebView webView_;
};

// The window's size for a system DPI: 1000 x 620 at 96 DPI, scaled.
SIZE mainWindowSize(int dpi);

}  // namespace tu
