#include "ui/web_view_win.h"

#include <objbase.h>

#include <cwchar>
#include <optional>
#include <system_error>

#include "core/path_identity_win.h"
#include "core/text_win.h"
#include "ui/file_url.h"
#include "ui/start_page_url.h"
#include "ui/webview2/handler.h"
#include "ui/webview2/loader.h"

namespace tu {
namespace {

// The runtime vendor's download page for the WebView2 Runtime.
constexpr char kRuntimeDownloadPage[] =
    "https://developer.microsoft.com/microsoft-edge/webview2/#download-section";

// Crashed runtime processes the launcher recovers from in one run; one more means the runtime
// on this machine is broken.
constexpr int kMaxRecoveries = 3;
// What the dialog shows for such a runtime: HRESULT_FROM_WIN32(ERROR_PROCESS_ABORTED).
constexpr HRESULT kRuntimeKeepsFailing = static_cast<HRESULT>(0x8007042B);

// Takes a CoTaskMemAlloc'd UTF-16 string from the runtime, frees it, returns it as UTF-8.
std::string takeString(LPWSTR text) {
  std::string utf8 = text ? wideToUtf8(text) : std::string();
  CoTaskMemFree(text);
  return utf8;
}

// A newer version of a runtime object, when the runtime offers it (null otherwise).
template <class Newer, class Object>
ComRef<Newer> newerVersion(Object* object) {
  void* newer = nullptr;
  if (FAILED(object->lpVtbl->QueryInterface(object, &Newer::iid, &newer))) return {};
  return ComRef<Newer>(static_cast<Newer*>(newer));
}

}  // namespace

// Marks the time the runtime's own call is on the stack; when the outermost one ends, what the
// window put off meanwhile may run.
class WebView::CallbackScope {
 public:
  explicit CallbackScope(WebView& view) : view_(view) { ++view_.callbackDepth_; }
  ~CallbackScope() {
    if (--view_.callbackDepth_ == 0 && view_.callbacks_.afterCallbacks) {
      view_.callbacks_.afterCallbacks();
    }
  }
  CallbackScope(const CallbackScope&) = delete;
  CallbackScope& operator=(const CallbackScope&) = delete;

 private:
  WebView& view_;
};

std::wstring webViewMissingText(HRESULT result) {
  wchar_t text[512];
  std::swprintf(text, 512,
                L"Launcheriui reikalingas Microsoft Edge WebView2 Runtime (0x%08lX).\n"
                L"The launcher needs the Microsoft Edge WebView2 Runtime.\n\n"
                L"Atsisi\u0173sti dabar? / Download it now?",
                static_cast<unsigned long>(result));
  return text;
}

WebView::WebView(Callbacks callbacks, bool devMode)
    : callbacks_(std::move(callbacks)), devMode_(devMode) {}

void WebView::create(HWND window, const std::filesystem::path& dataFolder) {
  window_ = window;
  userData_ = dataFolder / L"WebView2";
  std::error_code ignored;
  std::filesystem::create_directories(userData_, ignored);
  startCreation();
}

void WebView::startCreation() {
  ComRef<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> handler =
      makeHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
          [this](HRESULT result, ICoreWebView2Environment* environment) {
            const CallbackScope scope(*this);
            return onEnvironment(result, environment);
          });
  const HRESULT started =
      CreateCoreWebView2EnvironmentWithOptions(nullptr, userData_.c_str(), nullptr, handler.get());
  if (FAILED(started)) callbacks_.postFailure(started);
}

HRESULT WebView::onEnvironment(HRESULT result, ICoreWebView2Environment* environment) {
  if (FAILED(result) || !environment) {
    callbacks_.postFailure(result);
    return S_OK;
  }
  ComRef<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> handler =
      makeHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
          [this](HRESULT result, ICoreWebView2Controller* controller) {
            const CallbackScope scope(*this);
            return onController(result, controller);
          });
  environment->lpVtbl->CreateCoreWebView2Controller(environment, window_, handler.get());
  return S_OK;
}

HRESULT WebView::onController(HRESULT result, ICoreWebView2Controller* controller) {
  if (FAILED(result) || !controller) {
    callbacks_.postFailure(result);
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
  // Files dragged in from outside would replace the page (the runtime opens them).
  if (auto controller4 = newerVersion<ICoreWebView2Controller4>(controller)) {
    controller4.get()->lpVtbl->put_AllowExternalDrop(controller4.get(), FALSE);
  }
  resize();
  if (!view_) return;
  applySettings();
  addHandlers();
  const std::filesystem::path page =
      callbacks_.startPage ? callbacks_.startPage() : std::filesystem::path();
  pageFolder_ = pathIdentity(page.parent_path().native());
  const std::wstring url = startPageUrl(page);
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
  // F5, Ctrl+R, Ctrl+P, Ctrl+F and the like would reload the page or open browser parts.
  if (auto settings3 = newerVersion<ICoreWebView2Settings3>(s)) {
    settings3.get()->lpVtbl->put_AreBrowserAcceleratorKeysEnabled(settings3.get(),
                                                                  devMode_ ? TRUE : FALSE);
  }
}

bool WebView::mayNavigate(const std::string& url) const {
  if (url.rfind("about:", 0) == 0) return true;
  if (url.rfind("file:", 0) != 0) return false;
  // Only the page's own files: a file elsewhere (dropped, linked) would replace the page.
  const std::optional<std::string> path = windowsPathOfFileUrl(url);
  return path && isInsideFolder(pathIdentity(utf8ToWide(*path)), pageFolder_);
}

void WebView::addHandlers() {
  ICoreWebView2* view = view_.get();
  EventRegistrationToken token{};  // handlers live as long as the view; tokens are not kept

  auto onMessage = makeHandler<ICoreWebView2WebMessageReceivedEventHandler>(
      [this](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
        const CallbackScope scope(*this);
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
        const CallbackScope scope(*this);
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
        const CallbackScope scope(*this);
        LPWSTR uri = nullptr;
        if (FAILED(args->lpVtbl->get_Uri(args, &uri)) || !uri) {
          CoTaskMemFree(uri);
          return S_OK;
        }
        const std::string url = takeString(uri);
        if (mayNavigate(url)) return S_OK;
        // The view stays on the launcher's own page; outside addresses go to the browser.
        args->lpVtbl->put_Cancel(args, TRUE);
        if (callbacks_.openExternalUrl) callbacks_.openExternalUrl(url);
        return S_OK;
      });
  view->lpVtbl->add_NavigationStarting(view, onNavigation.get(), &token);

  auto onProcessFailed = makeHandler<ICoreWebView2ProcessFailedEventHandler>(
      [this](ICoreWebView2*, ICoreWebView2ProcessFailedEventArgs* args) {
        const CallbackScope scope(*this);
        std::int32_t kind = -1;
        if (FAILED(args->lpVtbl->get_ProcessFailedKind(args, &kind))) return S_OK;
        // Other processes (the GPU's, utilities) come back by themselves; a renderer that
        // hangs is reported again until it answers.
        if (kind == kRenderProcessExited) callbacks_.postRecovery(Recovery::Reload);
        if (kind == kBrowserProcessExited) callbacks_.postRecovery(Recovery::Recreate);
        return S_OK;
      });
  view->lpVtbl->add_ProcessFailed(view, onProcessFailed.get(), &token);
}

void WebView::resize() {
  if (!controller_ || !window_) return;
  RECT bounds{};
  GetClientRect(window_, &bounds);
  controller_.get()->lpVtbl->put_Bounds(controller_.get(), bounds);
}

void WebView::notifyMoved() {
  if (controller_) {
    controller_.get()->lpVtbl->NotifyParentWindowPositionChanged(controller_.get());
  }
}

void WebView::postJson(const std::string& json) {
  if (!view_) return;
  const std::wstring text = utf8ToWide(json);
  view_.get()->lpVtbl->PostWebMessageAsJson(view_.get(), text.c_str());
}

void WebView::dropView() {
  if (controller_) controller_.get()->lpVtbl->Close(controller_.get());
  controller_.reset();
  view_.reset();
}

void WebView::close() {
  closed_ = true;
  dropView();
}

void WebView::recover(Recovery recovery) {
  if (closed_) return;
  if (++recoveries_ > kMaxRecoveries) {
    callbacks_.postFailure(kRuntimeKeepsFailing);
    return;
  }
  if (recovery == Recovery::Reload && view_) {
    view_.get()->lpVtbl->Reload(view_.get());
    return;
  }
  // The browser process took the view with it: a new environment starts a new one.
  dropView();
  startCreation();
}

void WebView::showRuntimeDialog(HRESULT result) {
  if (closed_ || dialogShown_ || !IsWindow(window_)) return;
  dialogShown_ = true;
  const std::wstring text = webViewMissingText(result);
  if (MessageBoxW(window_, text.c_str(), L"TarnLauncher", MB_YESNO | MB_ICONWARNING) == IDYES &&
      callbacks_.openExternalUrl) {
    callbacks_.openExternalUrl(kRuntimeDownloadPage);
  }
  PostMessageW(window_, WM_CLOSE, 0, 0);
}

}  // namespace tu
