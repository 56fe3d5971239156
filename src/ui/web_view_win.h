// WebView: the embedded WebView2 view that fills the main window, from its asynchronous creation
// to its release. Main thread only: the runtime calls every handler from the message loop.
//
// create() starts the creation (environment, then controller); when both arrive, the view is
// set up (settings, bounds, the three handlers) and navigated to the start page. Any failure
// of the runtime on the way shows the "runtime missing" dialog, which then closes the window.
// Windows builds only.
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
  struct Callbacks {
    // A command text from the page (a web message that is a string), as UTF-8.
    std::function<void(const std::string& text)> onWebMessage;
    // Opens http(s) addresses in the default browser and ignores every other text.
    std::function<void(const std::string& url)> openExternalUrl;
    // The address of the page to show, asked for once the view exists.
    std::function<std::wstring()> startPageUrl;
  };

  WebView(Callbacks callbacks, bool devMode);
  WebView(const WebView&) = delete;
  WebView& operator=(const WebView&) = delete;

  // createWebView: the user data folder is dataFolder / "WebView2" (made here when missing).
  void create(HWND window, const std::filesystem::path& dataFolder);

  bool exists() const { return static_cast<bool>(view_); }
  // resizeWebView: the view's bounds become the window's client rectangle.
  void resize();
  // PostWebMessageAsJson with the text in UTF-16; nothing when there is no view.
  void postJson(const std::string& json);
  // For WM_DESTROY: closes the controller and releases both references.
  void close();

 private:
  HRESULT onEnvironment(HRESULT result, ICoreWebView2Environment* environment);
  HRESULT onController(HRESULT result, ICoreWebView2Controller* controller);
  void setupView(ICoreWebView2Controller* controller);
  void applySettings();
  void addHandlers();
  void showWebViewMissing(HRESULT result);

  Callbacks callbacks_;
  bool devMode_;
  HWND window_ = nullptr;
  bool closed_ = false;
  ComRef<ICoreWebView2Controller> controller_;
  ComRef<ICoreWebView2> view_;
};

// The dialog text for a runtime that cannot start: both languages, the HRESULT as 0x and eight
// upper-case hexadecimal digits.
std::wstring webViewMissingText(HRESULT result);

// Whether the view may navigate to `url` itself: only "file:" and "about:" addresses (the
// page's own files and blank pages), compared case-sensitively.
bool isLocalNavigation(const std::string& url);

}  // namespace tu
