// The launcher's window and web view layer in this process, against the fake WebView2 runtime
// found through the registry exactly as the real one is: creation, settings, bounds, the three
// handlers, delivery to the page, the launcher's window messages and the ordered close.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "core/files.h"
#include "core/text_win.h"
#include "e2e/launcher_driver.h"
#include "support/temp_dir.h"
#include "ui/main_window_win.h"

namespace tu {
namespace {

using e2e::Event;

class RecordingEvents : public MainWindowEvents {
 public:
  std::vector<std::string> delivered, webMessages, opened, log;
  std::vector<std::filesystem::path> selfUpdates;
  int updatesDone = 0;

  void handleMainMessage(MainMessage message) override {
    switch (message.kind) {
      case MainMessage::Kind::PostJson: delivered.push_back(message.text); break;
      case MainMessage::Kind::SelfUpdate: selfUpdates.push_back(message.path); break;
      case MainMessage::Kind::UpdateDone: ++updatesDone; break;
    }
  }
  void closing() override { log.push_back("closing"); }
  void handleWebMessage(const std::string& text) override { webMessages.push_back(text); }
  void openExternalUrl(const std::string& url) override { opened.push_back(url); }
  std::wstring startPageUrl() override { return L"file:///C:/page/index.html"; }
};

bool sawQuit = false;

// Runs this thread's message loop until `condition` holds (or a generous time has passed).
bool pumpUntil(const std::function<bool()>& condition) {
  return e2e::waitUntil([&] {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) sawQuit = true;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return condition();
  });
}

bool hasEvent(const std::vector<Event>& events, const std::string& name, const std::string& text) {
  for (const Event& event : events) {
    if (event.name == name && event.text == text) return true;
  }
  return false;
}

class WebViewWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { e2e::useUnmanagedWindows(); }

  void SetUp() override {
    runtime_.clearEvents();
    sawQuit = false;
  }
  std::vector<Event> events() const { return runtime_.events(GetCurrentProcessId()); }
  bool play(fake::Command command, const std::string& text) {
    return e2e::playCommand(GetCurrentProcessId(), command, text);
  }

  test::TempDir root_;
  e2e::FakeRuntime runtime_{root_.path(), pathFromUtf8(TARN_FAKE_RUNTIME_DLL)};
  RecordingEvents events_;
};

TEST_F(WebViewWindowTest, ShowsThePageKeepsNavigationLocalAndClosesInOrder) {
  MainWindow window(GetModuleHandleW(nullptr), events_, /*devMode=*/false);
  ASSERT_TRUE(window.create(L"Vazid Ureverivo"));
  HWND handle = window.handle();
  EXPECT_EQ(GetWindowLongW(handle, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS),
            static_cast<LONG>(WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX));
  EXPECT_TRUE(GetWindowLongW(handle, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  RECT frame{};
  GetWindowRect(handle, &frame);
  EXPECT_EQ(frame.right - frame.left, 1000);  // Wine reports 96 DPI
  EXPECT_EQ(frame.bottom - frame.top, 620);

  const std::filesystem::path data = root_.path() / L"data";
  window.createWebView(data);
  ASSERT_TRUE(pumpUntil(
      [&] { return hasEvent(events(), "navigation", "allowed file:///C:/page/index.html"); }));
  EXPECT_TRUE(window.hasWebView());

  const std::vector<Event> start = events();
  EXPECT_TRUE(hasEvent(start, "environment", "1 0 " + pathToUtf8(data / L"WebView2")));
  EXPECT_TRUE(hasEvent(start, "handler-qi", "ok"));
  EXPECT_TRUE(hasEvent(start, "bounds", "0 0 1000 620"));
  EXPECT_TRUE(hasEvent(start, "setting", "AreDefaultContextMenusEnabled 0"));
  EXPECT_TRUE(hasEvent(start, "setting", "AreDevToolsEnabled 0"));
  EXPECT_TRUE(hasEvent(start, "setting", "IsStatusBarEnabled 0"));
  EXPECT_TRUE(hasEvent(start, "setting", "IsZoomControlEnabled 0"));
  EXPECT_TRUE(hasEvent(start, "navigate", "file:///C:/page/index.html"));
  // The fake let go of both completion handlers; nothing else held them.
  EXPECT_TRUE(hasEvent(start, "released", "environment-handler 0"));
  EXPECT_TRUE(hasEvent(start, "released", "controller-handler 0"));

  // Commands from the page, as strings.
  ASSERT_TRUE(play(fake::kWebMessage, R"({"cmd":"ready"})"));
  EXPECT_EQ(events_.webMessages, std::vector<std::string>{R"({"cmd":"ready"})"});

  // Only file: and about: addresses stay in the view; everything else goes to openExternalUrl
  // (which opens http and https only).
  for (const char* url : {"https://example.com/news", "http://example.com/", "data:text/html,x",
                          "ftp://example.com/a", "file:///C:/page/other.html", "about:blank"}) {
    ASSERT_TRUE(play(fake::kNavigation, url));
  }
  const std::vector<Event> navigations = events();
  EXPECT_TRUE(hasEvent(navigations, "navigation", "cancelled https://example.com/news"));
  EXPECT_TRUE(hasEvent(navigations, "navigation", "cancelled http://example.com/"));
  EXPECT_TRUE(hasEvent(navigations, "navigation", "cancelled data:text/html,x"));
  EXPECT_TRUE(hasEvent(navigations, "navigation", "cancelled ftp://example.com/a"));
  EXPECT_TRUE(hasEvent(navigations, "navigation", "allowed file:///C:/page/other.html"));
  EXPECT_TRUE(hasEvent(navigations, "navigation", "allowed about:blank"));
  EXPECT_EQ(events_.opened,
            (std::vector<std::string>{"https://example.com/news", "http://example.com/",
                                      "data:text/html,x", "ftp://example.com/a"}));

  // New windows never open inside the launcher.
  events_.opened.clear();
  ASSERT_TRUE(play(fake::kNewWindow, "mailto:staff@example.com"));
  ASSERT_TRUE(play(fake::kNewWindow, "https://example.com/forum"));
  EXPECT_TRUE(hasEvent(events(), "newwindow", "handled mailto:staff@example.com"));
  EXPECT_TRUE(hasEvent(events(), "newwindow", "handled https://example.com/forum"));
  EXPECT_EQ(events_.opened,
            (std::vector<std::string>{"mailto:staff@example.com", "https://example.com/forum"}));

  // The launcher's messages from another thread arrive in posting order; the page gets what
  // the bridge hands to the view.
  std::thread worker([&] {
    window.post(
        MainMessage{MainMessage::Kind::PostJson, R"({"type":"phase","phase":"check"})", {}});
    window.post(MainMessage{MainMessage::Kind::SelfUpdate, {}, L"C:\\x\\TarnLauncher.exe.new"});
    window.post(MainMessage{MainMessage::Kind::UpdateDone, {}, {}});
  });
  worker.join();
  ASSERT_TRUE(pumpUntil([&] { return events_.updatesDone == 1; }));
  EXPECT_EQ(events_.delivered, std::vector<std::string>{R"({"type":"phase","phase":"check"})"});
  ASSERT_EQ(events_.selfUpdates.size(), 1u);
  EXPECT_EQ(events_.selfUpdates[0], std::filesystem::path(L"C:\\x\\TarnLauncher.exe.new"));
  window.deliverToWebView(R"({"type":"init","lang":"lt"})");
  EXPECT_TRUE(hasEvent(events(), "post", R"({"type":"init","lang":"lt"})"));

  // Closing: the window asks the launcher to stop first, then goes; the view is closed and
  // its handlers are released for good.
  window.closeWindow();
  ASSERT_TRUE(pumpUntil([&] { return window.handle() == nullptr; }));
  EXPECT_EQ(events_.log, std::vector<std::string>{"closing"});
  const std::vector<Event> closed = events();
  EXPECT_TRUE(hasEvent(closed, "close", ""));
  EXPECT_TRUE(hasEvent(closed, "released", "webmessage 0"));
  EXPECT_TRUE(hasEvent(closed, "released", "navigation 0"));
  EXPECT_TRUE(hasEvent(closed, "released", "newwindow 0"));
  EXPECT_FALSE(window.hasWebView());
  EXPECT_FALSE(window.post(MainMessage{MainMessage::Kind::UpdateDone, {}, {}}));
  EXPECT_TRUE(pumpUntil([] { return sawQuit; }));
}

TEST_F(WebViewWindowTest, DeveloperModeAllowsTheContextMenuAndTools) {
  MainWindow window(GetModuleHandleW(nullptr), events_, /*devMode=*/true);
  ASSERT_TRUE(window.create(L"Dev"));
  window.createWebView(root_.path() / L"data");
  ASSERT_TRUE(pumpUntil([&] { return window.hasWebView(); }));
  EXPECT_TRUE(hasEvent(events(), "setting", "AreDefaultContextMenusEnabled 1"));
  EXPECT_TRUE(hasEvent(events(), "setting", "AreDevToolsEnabled 1"));
  EXPECT_TRUE(hasEvent(events(), "setting", "IsStatusBarEnabled 0"));
  window.destroy();
  EXPECT_TRUE(pumpUntil([] { return sawQuit; }));
}

// Without a runtime the loader fails at once; the dialog names the error, and either answer
// closes the window in the ordinary way. Yes opens the runtime's download page.
void expectMissingRuntimeDialog(RecordingEvents& events, const std::filesystem::path& data,
                                int answer) {
  MainWindow window(GetModuleHandleW(nullptr), events, /*devMode=*/false);
  ASSERT_TRUE(window.create(L"No runtime"));
  e2e::MessageBoxContent box;
  // The dialog is modal inside createWebView; another thread reads and answers it.
  std::thread answering([&] {
    HWND dialog = nullptr;
    if (e2e::waitUntil([&] {
          dialog = e2e::findTopWindow(GetCurrentProcessId(), L"#32770");
          return dialog && IsWindowVisible(dialog);
        })) {
      box = e2e::readMessageBox(dialog);
      e2e::pressButton(dialog, answer);
    }
  });
  window.createWebView(data);
  answering.join();
  EXPECT_EQ(box.caption, L"TarnLauncher");
  EXPECT_EQ(box.text, utf8ToWide("Launcheriui reikalingas Microsoft Edge WebView2 Runtime "
                                 "(0x80070002).\nThe launcher needs the Microsoft Edge WebView2 "
                                 "Runtime.\n\nAtsisiųsti dabar? / Download it now?"));
  EXPECT_TRUE(box.yes && box.no && !box.ok);
  ASSERT_TRUE(pumpUntil([&] { return window.handle() == nullptr && sawQuit; }));
  EXPECT_EQ(events.log, std::vector<std::string>{"closing"});
}

TEST_F(WebViewWindowTest, AMissingRuntimeIsExplainedAndNoClosesTheWindow) {
  runtime_.unregisterInstall();
  expectMissingRuntimeDialog(events_, root_.path() / L"data", IDNO);
  EXPECT_TRUE(events_.opened.empty());
  EXPECT_TRUE(events().empty());  // the fake was never loaded
}

TEST_F(WebViewWindowTest, AMissingRuntimeAnsweredYesOpensTheDownloadPage) {
  runtime_.unregisterInstall();
  expectMissingRuntimeDialog(events_, root_.path() / L"data", IDYES);
  ASSERT_EQ(events_.opened.size(), 1u);
  EXPECT_EQ(events_.opened[0].rfind("https://developer.microsoft.com/", 0), 0u);
}

}  // namespace
}  // namespace tu
