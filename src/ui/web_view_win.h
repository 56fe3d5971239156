// WebView: the embedded WebView2 view that fills the main window, from its asynchronous creation
// to its release. Main thread only: the runtime calls every handler from the message loop.
//
// create() starts the creation (environment, then controller); when both arrive, the view is
// set up (settings, bounds, the handlers) and navigated to the start page. The view keeps to
// the page's own folder: it never opens a window, never navigates elsewhere (outside addresses
// go to the browser), and takes no files dropped on it.
//
// Nothing modal runs inside a handler of the runtime (it does not allow it): a runtime that
// fails and a process of it that dies are posted to the window (Callbacks), which calls
// showRuntimeDialog and recover from its own message loop. Windows builds only.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>

#include "ui/webview2/com_ref.h"
#include "ui/webview2/webview2.h"

namespace tu {

class WebView {
 public:
  // What to do after one of the runtime's processes died.
  enum class Recovery {
    Reload,    // the page's renderer: load the page again
    Recreate,  // the browser process, and the view with it: make a new view
  };

  struct Callbacks {
    // A command text from the page (a web message that is a string), as UTF-8.
    std::function<void(const std::string& text)> onWebMessage;
    // Opens http(s) addresses in the default browser and ignores every other text.
    std::function<void(const std::string& url)> openExternalUrl;
    // The page file to show, asked each time a view is made.
    std::function<std::filesystem::path()> startPage;
    // Posts the runtime's failure to the window, which then calls showRuntimeDialog.
    std::function<void(HRESULT result)> postFailure;
    // Posts a recovery to the window, which then calls recover.
    std::function<void(Recovery recovery)> postRecovery;
    // The outermost handler the runtime called has returned.
    std::function<void()> afterCallbacks;
  };

  WebView(Callbacks callbacks, bool devMode);
  WebView(const WebView&) = delete;
  WebView& operator=(const WebView&) = delete;

  // createWebView: the user data folder is dataFolder / "WebView2" (made here when missing).
  void create(HWND window, const std::filesystem::path& dataFolder);

  bool exists() const { return static_cast<bool>(view_); }
  // Inside a handler the runtime called (which may sit in a modal loop, such as a window drag).
  bool insideCallback() const { return callbackDepth_ > 0; }
  // resizeWebView: the view's bounds become the window's client rectangle.
  void resize();
  // The window moved: the view places its pop-ups (drop-down lists) anew.
  void notifyMoved();
  // PostWebMessageAsJson with the text in UTF-16; nothing when there is no view.
  void postJson(const std::string& json);
  // For WM_DESTROY: closes the controller and releases both references, for good.
  void close();

  // After a process of the runtime died: reloads the page or makes a new view, three times
  // per run of the launcher; the next time the runtime counts as broken (postFailure).
  void recover(Recovery recovery);
  // showWebViewMissing: the runtime dialog (once), then WM_CLOSE to the window.
  void showRuntimeDialog(HRESULT result);

 private:
  class CallbackScope;

  void startCreation();
  HRESULT onEnvironment(HRESULT result, ICoreWebView2Environment* environment);
  HRESULT onController(HRESULT result, ICoreWebView2Controller* controller);
  void setupView(ICoreWebView2Controller* controller);
  void applySettings();
  void addHandlers();
  void dropView();
  bool mayNavigate(const std::string& url) const;

  Callbacks callbacks_;
  bool devMode_;
  HWND window_ = nullptr;
  std::filesystem::path userData_;
  std::wstring pageFolder_;  // the start page's folder (pathIdentity)
  bool closed_ = false;
  bool dialogShown_ = false;
  int recoveries_ = 0;
  int callbackDepth_ = 0;
  ComRef<ICoreWebView2Controller> controller_;
  ComRef<ICoreWebView2> view_;
};

// The dialog text for a runtime that cannot start: both languages, the HRESULT as 0x and eight
// upper-case hexadecimal digits.
std::wstring webViewMissingText(HRESULT result);

}  // namespace tu
