// A fake WebView2 runtime for the end-to-end tests: EmbeddedBrowserWebView.dll with the export
// the launcher's loader calls, and environment, controller, web view and settings objects that
// record what the launcher does and play what a page would do (protocol.h). It renders nothing
// and runs no script; every callback reaches the launcher on its main thread, from its message
// loop, as the real runtime's do.
#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/files.h"
#include "core/text_win.h"
#include "fake_webview2/protocol.h"
#include "ui/webview2/webview2.h"

namespace tu::fake {
namespace {

// ---- Recording ---------------------------------------------------------------------------

HMODULE thisModule() {
  HMODULE self = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&thisModule), &self);
  return self;
}

std::wstring logPath() {
  std::wstring path(4096, L'\0');
  path.resize(GetModuleFileNameW(thisModule(), path.data(), static_cast<DWORD>(path.size())));
  // <version folder>\EBWebView\<arch>\EmbeddedBrowserWebView.dll
  for (int i = 0; i < 3; ++i) path.resize(path.find_last_of(L'\\'));
  return path + L"\\" + kLogName;
}

void record(const std::string& event, const std::string& text = {}) {
  static const std::wstring path = logPath();
  const std::string line =
      std::to_string(GetCurrentProcessId()) + " " + event + (text.empty() ? "" : " " + text) + "\n";
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

std::string utf8(LPCWSTR text) {
  return text ? wideToUtf8(text) : std::string();
}

LPWSTR copyForCaller(const std::wstring& text) {
  auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
  if (copy) std::copy(text.c_str(), text.c_str() + text.size() + 1, copy);
  return copy;
}

// Lets go of a reference the fake held on one of the launcher's handlers and records what is
// left: 0 means the launcher kept no reference of its own (it releases right after handing
// a handler over).
template <class Handler>
void releaseHandler(Handler* handler, const char* what) {
  record("released", std::string(what) + " " + std::to_string(handler->lpVtbl->Release(handler)));
}

// How many of the launcher's handlers the fake is inside right now. The runtime does not
// allow its view to be closed under a running handler; the fake records it when it happens.
int handlersRunning = 0;
struct InHandler {
  InHandler() { ++handlersRunning; }
  ~InHandler() { --handlersRunning; }
  InHandler(const InHandler&) = delete;
  InHandler& operator=(const InHandler&) = delete;
};

// What the test asked of this run of the fake (the words of kSettingsName, read once).
bool behaves(const std::string& word);

// ---- Main-thread tasks and the test's commands -------------------------------------------

void runCommand(unsigned long command, const std::wstring& text, LRESULT& result);

class Dispatcher {
 public:
  static Dispatcher& get() {
    static Dispatcher dispatcher;
    return dispatcher;
  }

  // Runs `task` later on this thread, from its message loop (as the runtime's callbacks do).
  void post(std::function<void()> task) {
    tasks_.push_back(std::move(task));
    PostMessageW(window_, WM_APP, 0, 0);
  }

 private:
  Dispatcher() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &Dispatcher::procedure;
    // Registered for this module: another copy of the fake in the same process (a test that
    // installs it again elsewhere) must get its own class and procedure.
    windowClass.hInstance = thisModule();
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
    const std::wstring title = kWindowTitlePrefix + std::to_wstring(GetCurrentProcessId());
    window_ = CreateWindowExW(0, kWindowClass, title.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
  }

  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
      Dispatcher& self = get();
      if (!self.tasks_.empty()) {
        std::function<void()> task = std::move(self.tasks_.front());
        self.tasks_.pop_front();
        task();
      }
      return 0;
    }
    if (message == WM_COPYDATA) {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      const std::wstring text(static_cast<const wchar_t*>(data->lpData),
                              data->cbData / sizeof(wchar_t));
      LRESULT result = 0;
      runCommand(static_cast<unsigned long>(data->dwData), text, result);
      return result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
  std::deque<std::function<void()>> tasks_;
};

// ---- IUnknown for every fake object ------------------------------------------------------

template <class Interface, class Derived>
struct FakeObject : Interface {
  std::atomic<ULONG> references{1};

  // The older versions of the interface that the object also is (its vtable starts with
  // theirs); a derived object that has some names them here.
  static bool alsoAnswers(const GUID&) { return false; }

  static Derived* self(Interface* object) { return static_cast<Derived*>(object); }
  static HRESULT STDMETHODCALLTYPE queryInterface(Interface* object, const GUID* riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!riid || !(IsEqualGUID(*riid, Wv2Unknown::iid) || IsEqualGUID(*riid, Interface::iid) ||
                   Derived::alsoAnswers(*riid))) {
      return E_NOINTERFACE;
    }
    addRef(object);
    *out = object;
    return S_OK;
  }
  static ULONG STDMETHODCALLTYPE addRef(Interface* object) { return ++self(object)->references; }
  static ULONG STDMETHODCALLTYPE release(Interface* object) {
    const ULONG left = --self(object)->references;
    if (left == 0) delete self(object);
    return left;
  }
};

#define FAKE_UNKNOWN .QueryInterface = &queryInterface, .AddRef = &addRef, .Release = &release

// ---- Settings ----------------------------------------------------------------------------

// A setting's name as a template argument, so one function records every put_ of the settings.
template <std::size_t N>
struct SettingName {
  constexpr SettingName(const char (&name)[N]) { std::copy_n(name, N, text); }
  char text[N];
};

// The settings as of their third version; the launcher asks for it by QueryInterface.
struct Settings : FakeObject<ICoreWebView2Settings3, Settings> {
  Settings() { lpVtbl = &vtable; }
  static bool alsoAnswers(const GUID& iid) { return IsEqualGUID(iid, ICoreWebView2Settings::iid); }
  ICoreWebView2Settings* asBase() { return reinterpret_cast<ICoreWebView2Settings*>(this); }

  template <SettingName Name>
  static HRESULT STDMETHODCALLTYPE put(ICoreWebView2Settings3*, BOOL value) {
    record("setting", std::string(Name.text) + (value ? " 1" : " 0"));
    return S_OK;
  }

#define FAKE_SETTING(name) .put_##name = &put<#name>
  static constexpr ICoreWebView2Settings3Vtbl vtable = {
      FAKE_UNKNOWN,
      FAKE_SETTING(IsStatusBarEnabled),
      FAKE_SETTING(AreDevToolsEnabled),
      FAKE_SETTING(AreDefaultContextMenusEnabled),
      FAKE_SETTING(IsZoomControlEnabled),
      FAKE_SETTING(AreBrowserAcceleratorKeysEnabled),
  };
#undef FAKE_SETTING
};

// ---- Event arguments ---------------------------------------------------------------------

// The arguments of WebMessageReceived, NavigationStarting and NewWindowRequested: a text (the
// message, an address), and the one flag the launcher may set (Cancel, Handled).
template <class Interface>
struct TextArgs : FakeObject<Interface, TextArgs<Interface>> {
  explicit TextArgs(std::wstring text) : text(std::move(text)) { this->lpVtbl = &vtable; }
  std::wstring text;
  BOOL flag = FALSE;

  static HRESULT STDMETHODCALLTYPE getText(Interface* object, LPWSTR* out) {
    *out = copyForCaller(TextArgs::self(object)->text);
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE putFlag(Interface* object, BOOL value) {
    TextArgs::self(object)->flag = value;
    return S_OK;
  }
  static const std::remove_cvref_t<decltype(*std::declval<Interface>().lpVtbl)> vtable;
};

using WebMessageArgs = TextArgs<ICoreWebView2WebMessageReceivedEventArgs>;
template <>
const ICoreWebView2WebMessageReceivedEventArgsVtbl WebMessageArgs::vtable = {
    FAKE_UNKNOWN,
    .TryGetWebMessageAsString = &getText,
};

using NavigationArgs = TextArgs<ICoreWebView2NavigationStartingEventArgs>;
template <>
const ICoreWebView2NavigationStartingEventArgsVtbl NavigationArgs::vtable = {
    FAKE_UNKNOWN,
    .get_Uri = &getText,
    .put_Cancel = &putFlag,
};

using NewWindowArgs = TextArgs<ICoreWebView2NewWindowRequestedEventArgs>;
template <>
const ICoreWebView2NewWindowRequestedEventArgsVtbl NewWindowArgs::vtable = {
    FAKE_UNKNOWN,
    .get_Uri = &getText,
    .put_Handled = &putFlag,
};

struct ProcessFailedArgs : FakeObject<ICoreWebView2ProcessFailedEventArgs, ProcessFailedArgs> {
  explicit ProcessFailedArgs(std::int32_t kind) : kind(kind) { lpVtbl = &vtable; }
  std::int32_t kind;

  static HRESULT STDMETHODCALLTYPE getKind(ICoreWebView2ProcessFailedEventArgs* object,
                                           std::int32_t* out) {
    *out = self(object)->kind;
    return S_OK;
  }
  static constexpr ICoreWebView2ProcessFailedEventArgsVtbl vtable = {
      FAKE_UNKNOWN,
      .get_ProcessFailedKind = &getKind,
  };
};

// ---- The web view ------------------------------------------------------------------------

struct WebView;
WebView* liveView = nullptr;  // the one view of this process, while its controller is open

struct WebView : FakeObject<ICoreWebView2, WebView> {
  WebView() { lpVtbl = &vtable; }

  // The launcher never removes a handler: the tokens only have to differ.
  std::vector<ICoreWebView2NavigationStartingEventHandler*> navigationHandlers;
  std::vector<ICoreWebView2WebMessageReceivedEventHandler*> messageHandlers;
  std::vector<ICoreWebView2NewWindowRequestedEventHandler*> newWindowHandlers;
  std::vector<ICoreWebView2ProcessFailedEventHandler*> processFailedHandlers;
  std::int64_t nextToken = 1;
  bool closed = false;
  std::wstring page;  // what Navigate last asked for

  // add_<Event> of every event the fake raises: `List` is the member that keeps its handlers.
  template <auto List, class Handler>
  static HRESULT STDMETHODCALLTYPE add(ICoreWebView2* object, Handler* handler,
                                       EventRegistrationToken* token) {
    if (!handler || !token) return E_POINTER;
    handler->lpVtbl->AddRef(handler);
    token->value = self(object)->nextToken++;
    (self(object)->*List).push_back(handler);
    return S_OK;
  }

  static HRESULT STDMETHODCALLTYPE getSettings(ICoreWebView2*, ICoreWebView2Settings** out) {
    *out = (new Settings())->asBase();
    return S_OK;
  }

  // The navigation starts later, from the message loop, like the runtime's; a reload is a new
  // renderer loading the same page again.
  void loadLater(const std::wstring& uri) {
    addRef(this);
    Dispatcher::get().post([this, uri] {
      raiseNavigation(uri);
      release(this);
    });
  }
  static HRESULT STDMETHODCALLTYPE navigate(ICoreWebView2* object, LPCWSTR uri) {
    record("navigate", utf8(uri));
    self(object)->page = uri ? uri : L"";
    self(object)->loadLater(self(object)->page);
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE reload(ICoreWebView2* object) {
    record("reload");
    self(object)->loadLater(self(object)->page);
    return S_OK;
  }

  static HRESULT STDMETHODCALLTYPE postJson(ICoreWebView2* object, LPCWSTR json) {
    if (self(object)->closed) return E_FAIL;
    record("post", utf8(json));
    return S_OK;
  }

  // Runs every handler of `list` on new arguments made of `value`, from a copy of the list (a
  // handler may run a command that closes the view), and answers the flag a handler set.
  template <class Args, class Handler, class Value>
  bool raise(const std::vector<Handler*>& list, Value value) {
    auto* args = new Args(std::move(value));
    {
      const auto handlers = list;
      const InHandler inHandler;
      for (Handler* handler : handlers) handler->lpVtbl->Invoke(handler, this, args);
    }
    bool flag = false;
    if constexpr (requires(Args & a) { a.flag; }) flag = args->flag;
    Args::release(args);
    return flag;
  }
  void raiseNavigation(const std::wstring& uri) {
    const bool cancelled = raise<NavigationArgs>(navigationHandlers, uri);
    record("navigation", (cancelled ? "cancelled " : "allowed ") + wideToUtf8(uri));
  }

  template <class Handler>
  static void drop(std::vector<Handler*>& list, const char* what) {
    for (Handler* handler : list) releaseHandler(handler, what);
    list.clear();
  }

  // Close drops every handler, as the runtime's does.
  void dropHandlers() {
    closed = true;
    drop(navigationHandlers, "navigation");
    drop(messageHandlers, "webmessage");
    drop(newWindowHandlers, "newwindow");
    drop(processFailedHandlers, "processfailed");
  }
  static constexpr ICoreWebView2Vtbl vtable = {
      FAKE_UNKNOWN,
      .get_Settings = &getSettings,
      .Navigate = &navigate,
      .add_NavigationStarting = &add<&WebView::navigationHandlers>,
      .add_ProcessFailed = &add<&WebView::processFailedHandlers>,
      .Reload = &reload,
      .PostWebMessageAsJson = &postJson,
      .add_WebMessageReceived = &add<&WebView::messageHandlers>,
      .add_NewWindowRequested = &add<&WebView::newWindowHandlers>,
  };
};

// ---- The controller ----------------------------------------------------------------------

struct Controller;
Controller* liveController = nullptr;  // the controller of liveView

// The controller as of its fourth version; the launcher asks for it by QueryInterface.
struct Controller : FakeObject<ICoreWebView2Controller4, Controller> {
  explicit Controller(HWND parent) : view(new WebView()), parent(parent) {
    lpVtbl = &vtable;
    liveView = view;
    liveController = this;
  }
  ~Controller() {
    forget();
    WebView::release(view);
  }
  static bool alsoAnswers(const GUID& iid) {
    return IsEqualGUID(iid, ICoreWebView2Controller::iid);
  }
  ICoreWebView2Controller* asBase() { return reinterpret_cast<ICoreWebView2Controller*>(this); }
  // Commands no longer reach this view.
  void forget() {
    if (liveView == view) liveView = nullptr;
    if (liveController == this) liveController = nullptr;
  }

  WebView* view;
  HWND parent;

  static HRESULT STDMETHODCALLTYPE putBounds(ICoreWebView2Controller4*, RECT bounds) {
    record("bounds", std::to_string(bounds.left) + " " + std::to_string(bounds.top) + " " +
                         std::to_string(bounds.right) + " " + std::to_string(bounds.bottom));
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE getView(ICoreWebView2Controller4* object, ICoreWebView2** out) {
    WebView* view = self(object)->view;
    WebView::addRef(view);
    *out = view;
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE moved(ICoreWebView2Controller4*) {
    record("moved");
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE putExternalDrop(ICoreWebView2Controller4*, BOOL value) {
    record("setting", std::string("AllowExternalDrop ") + (value ? "1" : "0"));
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE close(ICoreWebView2Controller4* object) {
    record("close", handlersRunning > 0 ? "inside-handler" : "");
    self(object)->forget();
    self(object)->view->dropHandlers();
    return S_OK;
  }
  static constexpr ICoreWebView2Controller4Vtbl vtable = {
      FAKE_UNKNOWN,    .put_Bounds = &putBounds,     .NotifyParentWindowPositionChanged = &moved,
      .Close = &close, .get_CoreWebView2 = &getView, .put_AllowExternalDrop = &putExternalDrop,
  };
};

// ---- The environment ---------------------------------------------------------------------

struct Environment : FakeObject<ICoreWebView2Environment, Environment> {
  Environment() { lpVtbl = &vtable; }

  static HRESULT STDMETHODCALLTYPE
  createController(ICoreWebView2Environment*, HWND parent,
                   ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) {
    if (!handler) return E_POINTER;
    handler->lpVtbl->AddRef(handler);
    Dispatcher::get().post([handler, parent] {
      const bool fail = behaves("failing-controller");
      Controller* controller = fail ? nullptr : new Controller(parent);
      {
        const InHandler inHandler;
        handler->lpVtbl->Invoke(handler, fail ? E_ACCESSDENIED : S_OK,
                                controller ? controller->asBase() : nullptr);
      }
      if (controller) Controller::release(controller);
      releaseHandler(handler, "controller-handler");
    });
    return S_OK;
  }
  static constexpr ICoreWebView2EnvironmentVtbl vtable = {
      FAKE_UNKNOWN,
      .CreateCoreWebView2Controller = &createController,
  };
};

#undef FAKE_UNKNOWN

bool behaves(const std::string& word) {
  static const std::string settings = [] {
    std::string text;
    readFile(std::filesystem::path(logPath()).parent_path() / kSettingsName, text);
    return " " + text + " ";
  }();
  return settings.find(" " + word + " ") != std::string::npos;
}

// What Windows sends a per-monitor aware window that moved to a monitor of another scale:
// "<dpi> <left> <top> <right> <bottom>" (the suggested rectangle).
void changeDpi(HWND window, const std::wstring& text) {
  int dpi = 96;
  RECT suggested{};
  if (swscanf(text.c_str(), L"%d %ld %ld %ld %ld", &dpi, &suggested.left, &suggested.top,
              &suggested.right, &suggested.bottom) != 5) {
    return;
  }
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

void runCommand(unsigned long command, const std::wstring& text, LRESULT& result) {
  if (command == kSync) {
    Dispatcher::get().post([marker = wideToUtf8(text)] { record("sync", marker); });
    result = 1;
    return;
  }
  WebView* view = liveView;
  Controller* controller = liveController;
  if (!view || !controller) return;
  result = 1;
  WebView::addRef(view);
  Controller::addRef(controller);
  switch (command) {
    case kWebMessage: view->raise<WebMessageArgs>(view->messageHandlers, text); break;
    case kNavigation: view->raiseNavigation(text); break;
    case kNewWindow:
      record(
          "newwindow",
          (view->raise<NewWindowArgs>(view->newWindowHandlers, text) ? "handled " : "unhandled ") +
              wideToUtf8(text));
      break;
    case kProcessFailed: {
      const std::int32_t kind = _wtoi(text.c_str());
      // The browser process takes its views with it; the renderer only the page.
      if (kind == kBrowserProcessExited) {
        controller->forget();
        view->closed = true;
      }
      view->raise<ProcessFailedArgs>(view->processFailedHandlers, kind);
      break;
    }
    case kDpiChange: changeDpi(controller->parent, text); break;
    default: result = 0; break;
  }
  Controller::release(controller);
  WebView::release(view);
}

}  // namespace
}  // namespace tu::fake

// The runtime DLL's creation export, as the launcher's loader calls it.
extern "C" __declspec(dllexport) HRESULT STDMETHODCALLTYPE
    CreateWebViewEnvironmentWithOptionsInternal(
        UINT32 flag, std::int32_t runtimeKind, LPCWSTR userDataFolder, tu::Wv2Object* options,
        tu::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
  using namespace tu::fake;
  record("commandline", tu::wideToUtf8(GetCommandLineW()));
  record("environment", std::to_string(flag) + " " + std::to_string(runtimeKind) + " " +
                            (options ? "options " : "") + utf8(userDataFolder));
  if (!handler) return E_POINTER;
  handler->lpVtbl->AddRef(handler);
  Dispatcher::get().post([handler] {
    auto* environment = new Environment();
    const InHandler inHandler;
    handler->lpVtbl->Invoke(handler, S_OK, environment);
    Environment::release(environment);
    releaseHandler(handler, "environment-handler");
  });
  return S_OK;
}
