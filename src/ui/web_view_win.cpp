#include "ui/web_view_win.h"

#include <objbase.h>

#include <cwchar>
#include <system_error>

#include "core/text_win.h"
#include "ui/webview2/handler.h"
#include "ui/webview2/loader.h"

namespace tu {
namespace {

// The runtime vendor's download page for the WebView2 Runtime.
constexpr char kRuntimeDownloadPage[] =
    "https://developer.microsoft.com/microsoft-edge/webview2/#download-section";

// Takes a CoTaskMemAlloc'd UTF-16 string from the runtime, frees it, returns it as UTF-8.
std::string takeString(LPWSTR text) {
  std::string utf8 = text ? wideToUtf8(text) : std::string();
  CoTaskMemFree(text);
  return utf8;
}

}  // namespace

std::wstring webViewMissingText(HRESULT result) {
  wchar_t text[512];
  std::swprintf(text, 512,
                L"Launcheriui reikalingas Microsoft Edge WebView2 Runtime (0x%08lX).\n"
                L"The launcher needs the Microsoft Edge WebView2 Runtime.\n\n"
                L"Atsisi\u0173sti dabar? / Download it now?",
                static_cast<unsigned long>(result));
  return text;
}

bool isLocalNavigation(const std::string& url) {
  return url.rfind("file:", 0) == 0 || url.rfind("about:", 0) == 0;
}

WebView::WebView(Callbacks callbacks, bool devMode)
    : callbacks_(std::move(callbacks)), devMode_(devMode) {}

void WebView::create(HWND window, const std::filesystem::path& dataFolder) {
  window_ = window;
  const std::filesystem::path userData = dataFolder / L"WebView2";
  std::error_code ignored;
  std::filesystem::create_directories(userData, ignored);

  ComRef<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> handler =
      makeHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
          [this](HRESULT result, ICoreWebView2Environment* environment) {
            return onEnvironment(result, environment);
          });
  const HRESULT started =
      CreateCoreWebView2EnvironmentWithOptions(nullptr, userData.c_str(), nullptr, handler.get());
  if (FAILED(started)) showWebViewMissing(started);
}

HRESULT WebView::onEnvironment(HRESULT result, ICoreWebView2Environment* environment) {
  if (FAILED(result) || !environment) {
    showWebViewMissing(result);
    return S_OK;
  }
  ComRef<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> handler =
      makeHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
          [this](HRESULT result, ICoreWebView2Controller* controller) {
            return onController(result, controller);
          });
  environment->lpVtbl->CreateCoreWebView2Controller(environment, window_, handler.get());
  return S_OK;
}

HRESULT WebView::onController(HRESULT result, ICoreWebView2Controller* controller) {
  if (FAILED(result) || !controller) {
    showWebViewMissing(result);
    return S_OK;
  }
  setupView(controller);
  return S_OK;
}

void WebView::setupView(ICoreWebView2Controller* controller) {
  // A window closed while the controller was being made: nothing left to show it in.
  if (closed_) return;
  controller_ = ComRef<ICoreWebView2Controller>::retain(controller);
  controller->lpVtbl->get_CoreWebView2(controller, view_.put());
  resize();
  if (!view_) return;
  applySettings();
  addHandlers();
  const std::wstring url = callbacks_.startPageUrl ? callbacks_.startPageUrl() : std::wstring();
  view_.get()->lpVtbl->Navigate(view_.get(), url.c_str());
}

void WebView::applySettings() {
  ComRef<ICoreWebView2Settings> settings;
  if (FAILED(view_.get()->lpVtbl->get_Settings(view_.get(), settings.put())) || !settings) return;
  ICoreWebView2Settings* s = settings.get();
  // The page suppresses its own context menu; developers get the browser's menu and tools.
  s->lpVtbl->put_AreDefaultContextMenusEnabled(s, devMode_ ? TRUE : FALSE);
  s->lpVtbl->put_AreDevToolsEnabled(s, devMode_ ? TRUE : FALSE);
  s->lpVtbl->put_IsStatusBarEnabled(s, FALSE);
  s->lpVtbl->put_IsZoomControlEnabled(s, FALSE);
}

void WebView::addHandlers() {
  ICoreWebView2* view = view_.get();
  EventRegistrationToken token{};  // handlers live as long as the view; tokens are not kept

  auto onMessage = makeHandler<ICoreWebView2WebMessageReceivedEventHandler>(
      [this](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
        LPWSTR text = nullptr;
        // Commands arrive as JSON texts; anything the page posted as another value fails
        // here and is ignored.
        if (SUCCEEDED(args->lpVtbl->TryGetWebMessageAsString(args, &text)) && text) {
          const std::string command = takeString(text);
          if (callbacks_.onWebMessage) callbacks_.onWebMessage(command);
        } else {
          CoTaskMemFree(text);
        }
        return S_OK;
      });
  view->lpVtbl->add_WebMessageReceived(view, onMessage.get(), &token);

  auto onNewWindow = makeHandler<ICoreWebView2NewWindowRequestedEventHandler>(
      [this](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) {
        LPWSTR uri = nullptr;
        if (SUCCEEDED(args->lpVtbl->get_Uri(args, &uri)) && uri) {
          const std::string url = takeString(uri);
          if (callbacks_.openExternalUrl) callbacks_.openExternalUrl(url);
        } else {
          CoTaskMemFree(uri);
        }
        // No window ever opens inside the launcher.
        args->lpVtbl->put_Handled(args, TRUE);
        return S_OK;
      });
  view->lpVtbl->add_NewWindowRequested(view, onNewWindow.get(), &token);

  auto onNavigation = makeHandler<ICoreWebView2NavigationStartingEventHandler>(
      [this](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
        LPWSTR uri = nullptr;
        if (FAILED(args->lpVtbl->get_Uri(args, &uri)) || !uri) {
          CoTaskMemFree(uri);
          return S_OK;
        }
        const std::string url = takeString(uri);
        if (isLocalNavigation(url)) return S_OK;
        // The view stays on the launcher's own page; outside addresses go to the browser.
        args->lpVtbl->put_Cancel(args, TRUE);
        if (callbacks_.openExternalUrl) callbacks_.openExternalUrl(url);
        return S_OK;
      });
  view->lpVtbl->add_NavigationStarting(view, onNavigation.get(), &token);
}

void WebView::resize() {
  if (!controller_ || !window_) return;
  RECT bounds{};
  GetClientRect(window_, &bounds);
  controller_.get()->lpVtbl->put_Bounds(controller_.get(), bounds);
}

void WebView::postJson(const std::string& json) {
  if (!view_) return;
  const std::wstring text = utf8ToWide(json);
  view_.get()->lpVtbl->PostWebMessageAsJson(view_.get(), text.c_str());
}

void WebView::close() {
  closed_ = true;
  if (controller_) {
    controller_.get()->lpVtbl->Close(controller_.get());
    controller_.reset();
  }
  view_.reset();
}

void WebView::showWebViewMissing(HRESULT result) {
  // A creation aborted because the window is already closing needs no dialog.
  if (closed_ || !IsWindow(window_)) return;
  const std::wstring text = webViewMissingText(result);
  if (MessageBoxW(window_, text.c_str(), L"TarnLauncher", MB_YESNO | MB_ICONWARNING) == IDYES &&
      callbacks_.openExternalUrl) {
    callbacks_.openExternalUrl(kRuntimeDownloadPage);
  }
  PostMessageW(window_, WM_CLOSE, 0, 0);
}

}  // namespace tu
