// TarnLauncher.exe end to end under Wine, with the fake WebView2 runtime playing the page's part
// and recorder programs standing in for the game and the player's browser.
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "core/files.h"
#include "core/json.h"
#include "core/path_identity_win.h"
#include "core/text_win.h"
#include "e2e/launcher_driver.h"
#include "support/published_site.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "ui/client_folder_hash.h"
#include "ui/page_assets.h"
#include "ui/start_page_url.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using e2e::Event;
using e2e::LauncherProcess;

fs::path localAppData() {
  PWSTR folder = nullptr;
  fs::path result;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder))) result = folder;
  CoTaskMemFree(folder);
  return result;
}

void registerBrowser(const fs::path& program) {
  const std::wstring command = L"\"" + program.native() + L"\" \"%1\"";
  for (const wchar_t* key : {L"Software\\Classes\\http\\shell\\open\\command",
                             L"Software\\Classes\\https\\shell\\open\\command"}) {
    EXPECT_TRUE(e2e::writeRegistryText(HKEY_LOCAL_MACHINE, key, nullptr, command));
  }
}

class LauncherTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { e2e::prepareWinePrefix(); }

  void SetUp() override {
    std::error_code error;
    fs::create_directories(client_, error);
    fs::copy_file(pathFromUtf8(TARN_LAUNCHER_EXE), exe_, error);
    ASSERT_FALSE(error) << error.message();
    fs::create_directories(browser_.parent_path(), error);
    fs::copy_file(pathFromUtf8(TARN_RECORDER_EXE), browser_, error);
    registerBrowser(browser_);
    // Every launcher of this prefix shares the data folder; no player choices carry over.
    fs::remove(localAppData() / L"TarnLauncher" / L"prefs.json", error);
    config_.set("serverName", "Vazid Ureverivo");
    config_.set("desktopShortcut", false);
  }

  LauncherProcess start(const std::wstring& arguments = L"") {
    test::writeTestFile(client_ / L"TarnLauncher.json", config_.dump());
    LauncherProcess process = LauncherProcess::start(exe_, arguments, client_);
    EXPECT_TRUE(process.valid());
    return process;
  }

  void useSite(const test::PublishedSite& site) {
    config_.set("updateUrl", site.updateUrl());
    config_.set("publicKey", site.publicKey());
  }

  fs::path pageFolder() const {
    return localAppData() / L"TarnLauncher" /
           pathFromUtf8(uiPackFolderName(clientFolderHash(pathIdentity(client_.native()))));
  }

  bool has(DWORD pid, const std::string& name, const std::string& text) const {
    return std::ranges::any_of(runtime_.events(pid, name),
                               [&](const Event& event) { return event.text == text; });
  }
  bool waitForEvents(DWORD pid, const std::string& name, std::size_t count,
                     const std::string& prefix = "") {
    return e2e::waitUntil([&] {
      return std::ranges::count_if(runtime_.events(pid, name), [&](const Event& event) {
               return event.text.starts_with(prefix);
             }) >= static_cast<std::ptrdiff_t>(count);
    });
  }
  // The start page's navigation has gone through: the view is set up.
  bool waitForPage(const LauncherProcess& process) {
    return waitForEvents(process.pid(), "navigation", 1, "allowed file:");
  }

  std::vector<Json> messages(DWORD pid) const {
    std::vector<Json> parsed;
    for (const Event& event : runtime_.events(pid, "post"))
      parsed.push_back(Json::parse(event.text));
    return parsed;
  }
  Json waitForMessage(DWORD pid, const std::string& type) {
    Json found;
    e2e::waitUntil([&] {
      for (const Json& message : messages(pid)) {
        if (message.getString("type") != type) continue;
        found = message;
        return true;
      }
      return false;
    });
    return found;
  }

  // Closes the launcher the page's way and expects it to end with 0, having closed its view
  // outside every handler of the runtime.
  void closeNormally(LauncherProcess& process) {
    ASSERT_TRUE(process.webMessage(R"({"cmd":"close"})"));
    ASSERT_TRUE(process.waitForExit());
    EXPECT_EQ(process.exitCode(), 0u);
    EXPECT_TRUE(has(process.pid(), "close", ""));
    EXPECT_FALSE(has(process.pid(), "close", "inside-handler"));
  }
  e2e::MessageBoxContent answerDialog(LauncherProcess& launcher, int button, DWORD exitCode) {
    HWND dialog = launcher.waitForDialog();
    EXPECT_TRUE(dialog);
    if (!dialog) return {};
    const e2e::MessageBoxContent box = e2e::readMessageBox(dialog);
    e2e::pressButton(dialog, button);
    EXPECT_TRUE(launcher.waitForExit());
    EXPECT_EQ(launcher.exitCode(), exitCode);
    return box;
  }

  test::TempDir root_;
  e2e::FakeRuntime runtime_{root_.path(), pathFromUtf8(TARN_FAKE_RUNTIME_DLL)};
  // A client folder named beyond ASCII, as players' folders often are.
  fs::path client_ = root_.path() / L"Games L2 \u017D";
  fs::path exe_ = client_ / L"TarnLauncher.exe";
  fs::path browser_ = root_.path() / L"browser" / L"browser.exe";
  Json config_ = Json::object();
};

// The launcher starts on its unpacked page in a view locked down to it: outside addresses go
// to the player's browser, the window follows a move to a monitor of another scale (the size
// Windows suggests, kept on that monitor's work area, every move passed on to the view), and a
// second start only brings it back.
TEST_F(LauncherTest, StartsOnItsPageAndKeepsTheViewThere) {
  LauncherProcess launcher = start();
  ASSERT_TRUE(waitForPage(launcher));
  const DWORD pid = launcher.pid();

  const fs::path dataFolder = localAppData() / L"TarnLauncher";
  const fs::path page = pageFolder() / L"index.html";
  EXPECT_TRUE(fs::exists(page));
  EXPECT_TRUE(has(pid, "navigate", wideToUtf8(startPageUrl(page))));
  EXPECT_TRUE(has(pid, "environment", "1 0 " + pathToUtf8(dataFolder / L"WebView2")));
  EXPECT_TRUE(has(pid, "bounds", "0 0 1000 620"));
  // No browser keys (F5 would reload the page, Ctrl+P print it), no files dropped in.
  for (const char* setting :
       {"AreDefaultContextMenusEnabled 0", "AreDevToolsEnabled 0", "IsStatusBarEnabled 0",
        "IsZoomControlEnabled 0", "AreBrowserAcceleratorKeysEnabled 0", "AllowExternalDrop 0"}) {
    EXPECT_TRUE(has(pid, "setting", setting)) << setting;
  }
  HWND window = launcher.mainWindow();
  ASSERT_TRUE(window);
  EXPECT_EQ(e2e::windowText(window), L"Vazid Ureverivo");
  EXPECT_EQ(
      GetWindowLongW(window, GWL_STYLE) & (WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CAPTION),
      static_cast<LONG>(WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX));
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);

  // The page's own folder only: another file (a dropped one, a link) would replace the page.
  const std::string sibling = wideToUtf8(startPageUrl(pageFolder() / L"other.html"));
  const std::string outside = wideToUtf8(startPageUrl(client_ / L"readme.html"));
  const std::string upAndOut = wideToUtf8(startPageUrl(pageFolder())) + "/../x.html";
  const std::pair<std::string, const char*> verdicts[] = {
      {"https://example.com/news?id=1", "cancelled"},
      {"http://example.com/", "cancelled"},
      {"data:text/html,x", "cancelled"},
      {"ftp://example.com/file", "cancelled"},
      {sibling, "allowed"},
      {outside, "cancelled"},
      {upAndOut, "cancelled"},
      {"about:blank", "allowed"}};
  for (const auto& [url, verdict] : verdicts) {
    ASSERT_TRUE(launcher.play(fake::kNavigation, url)) << url;
    EXPECT_TRUE(has(pid, "navigation", verdict + (" " + url))) << url;
  }
  ASSERT_TRUE(launcher.play(fake::kNewWindow, "mailto:staff@example.com"));
  ASSERT_TRUE(launcher.play(fake::kNewWindow, "https://example.com/forum"));
  EXPECT_TRUE(has(pid, "newwindow", "handled mailto:staff@example.com"));
  EXPECT_TRUE(has(pid, "newwindow", "handled https://example.com/forum"));
  std::vector<std::string> opened;
  ASSERT_TRUE(e2e::waitUntil([&] {
    opened.clear();
    for (const std::string& line : e2e::recorderLines(browser_)) {
      // "<browser>" "<address>": the address is the second quoted text.
      const std::size_t start = line.find("\" \"");
      if (!line.starts_with("cwd=") && start != std::string::npos)
        opened.push_back(line.substr(start + 3, line.size() - start - 4));
    }
    return opened.size() >= 3;
  }));
  std::sort(opened.begin(), opened.end());
  EXPECT_EQ(opened, (std::vector<std::string>{"http://example.com/", "https://example.com/forum",
                                              "https://example.com/news?id=1"}));

  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  // 125 %: 1250 x 775, suggested partly past the work area's right and bottom edges.
  const RECT suggested{work.right - 1000, work.bottom - 500, work.right + 250, work.bottom + 275};
  const auto text = [](const RECT& r) {
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) +
           " " + std::to_string(r.bottom);
  };
  ASSERT_TRUE(launcher.play(fake::kDpiChange, "120 " + text(suggested)));
  RECT placed{};
  ASSERT_TRUE(GetWindowRect(window, &placed));
  EXPECT_EQ(text(placed), text({work.right - 1250, work.bottom - 775, work.right, work.bottom}));
  EXPECT_TRUE(has(pid, "bounds", "0 0 1250 775"));
  EXPECT_TRUE(has(pid, "moved", ""));

  // A second start, from the same folder spelled in capitals, brings this one back and ends
  // without a view of its own.
  ASSERT_TRUE(launcher.webMessage(R"({"cmd":"minimize"})"));
  ASSERT_TRUE(e2e::waitUntil([&] { return IsIconic(window) != FALSE; }));
  std::wstring capitals = exe_.native();
  CharUpperBuffW(capitals.data(), static_cast<DWORD>(capitals.size()));
  LauncherProcess second = LauncherProcess::start(capitals, L"", client_);
  ASSERT_TRUE(second.waitForExit());
  EXPECT_EQ(second.exitCode(), 0u);
  EXPECT_TRUE(e2e::waitUntil([&] { return !IsIconic(window); }));
  EXPECT_TRUE(runtime_.events(second.pid()).empty());

  closeNormally(launcher);
  for (const char* handler : {"webmessage 0", "navigation 0", "newwindow 0", "processfailed 0"}) {
    EXPECT_TRUE(has(pid, "released", handler)) << handler;
  }
}

// A page that comes back (a reload, a renderer or a browser process that died and was started
// again) announces itself again and gets "init" and the state it would otherwise wait for
// forever; no second run starts. The fourth death in one run means a broken runtime.
TEST_F(LauncherTest, APageThatComesBackAfterItsProcessDiedIsUsable) {
  LauncherProcess launcher = start();
  ASSERT_TRUE(waitForPage(launcher));
  const DWORD pid = launcher.pid();
  ASSERT_TRUE(launcher.webMessage(R"({"cmd":"ready"})"));
  const std::string done = waitForMessage(pid, "done").dump();  // "noconfig": no update address
  const auto announceAgain = [&] {
    ASSERT_TRUE(launcher.webMessage(R"({"cmd":"ready"})"));
    ASSERT_TRUE(launcher.sync(runtime_));
    const std::vector<Json> sent = messages(pid);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[sent.size() - 2].getString("type"), "init");
    EXPECT_EQ(sent.back().dump(), done);
  };

  ASSERT_TRUE(launcher.play(fake::kProcessFailed, "1"));  // the renderer
  ASSERT_TRUE(waitForEvents(pid, "reload", 1));
  ASSERT_TRUE(waitForEvents(pid, "navigation", 2, "allowed file:"));
  announceAgain();

  ASSERT_TRUE(launcher.play(fake::kProcessFailed, "0"));  // the browser, and the view with it
  ASSERT_TRUE(waitForEvents(pid, "navigation", 3, "allowed file:"));
  EXPECT_EQ(runtime_.events(pid, "environment").size(), 2u);
  EXPECT_TRUE(has(pid, "close", ""));
  announceAgain();
  EXPECT_EQ(std::ranges::count_if(messages(pid),
                                  [](const Json& m) { return m.getString("type") == "phase"; }),
            1);

  ASSERT_TRUE(launcher.play(fake::kProcessFailed, "1"));
  ASSERT_TRUE(waitForEvents(pid, "reload", 2));
  ASSERT_TRUE(waitForEvents(pid, "navigation", 4, "allowed file:"));
  ASSERT_TRUE(launcher.play(fake::kProcessFailed, "1"));
  EXPECT_NE(answerDialog(launcher, IDNO, 0).text.find(L"(0x8007042B)"), std::wstring::npos);
  EXPECT_EQ(runtime_.events(pid, "reload").size(), 2u);
}

// What keeps the launcher from starting is explained in a message box: no settings (it ends
// with 1, before any window or view), a runtime that fails or none (with the choice to download
// one). The box waits until the runtime's handler has returned: no modal loop runs inside it.
TEST_F(LauncherTest, WhatKeepsTheLauncherFromStartingIsExplained) {
  LauncherProcess unset = LauncherProcess::start(exe_, L"", client_);  // no TarnLauncher.json
  e2e::MessageBoxContent box = answerDialog(unset, IDOK, 1);
  EXPECT_EQ(box.caption, L"TarnLauncher");
  EXPECT_EQ(box.text,
            L"This launcher has no settings yet: prepare it with TarnBuilder (make_update.bat), "
            L"or put TarnLauncher.json next to it.");
  EXPECT_TRUE(box.ok && !box.yes && !box.no);
  EXPECT_TRUE(runtime_.events(unset.pid()).empty());

  runtime_.setBehaviour("failing-controller");
  LauncherProcess failing = start();
  EXPECT_TRUE(waitForEvents(failing.pid(), "released", 1, "controller-handler"));
  EXPECT_NE(answerDialog(failing, IDNO, 0).text.find(L"(0x80070005)"), std::wstring::npos);

  runtime_.unregisterInstall();
  LauncherProcess missing = start();
  box = answerDialog(missing, IDNO, 0);
  EXPECT_EQ(box.caption, L"TarnLauncher");
  EXPECT_EQ(box.text, utf8ToWide("Launcheriui reikalingas Microsoft Edge WebView2 Runtime "
                                 "(0x80070002).\nThe launcher needs the Microsoft Edge WebView2 "
                                 "Runtime.\n\nAtsisiųsti dabar? / Download it now?"));
  EXPECT_TRUE(box.yes && box.no && !box.ok);
  EXPECT_TRUE(e2e::recorderLines(browser_).empty());
}

// Staff who build their configuration into the launcher hand out the executable alone; a
// TarnLauncher.json next to it still wins. "--dev" opens the view to a developer's tools.
TEST_F(LauncherTest, TheBuiltInConfigurationServesWhenNoFileLiesNextToTheLauncher) {
  std::error_code error;
  fs::copy_file(pathFromUtf8(TARN_CONFIGURED_LAUNCHER_EXE), exe_,
                fs::copy_options::overwrite_existing, error);
  ASSERT_FALSE(error) << error.message();
  LauncherProcess builtIn = LauncherProcess::start(exe_, L"--dev", client_);
  ASSERT_TRUE(waitForPage(builtIn));
  EXPECT_EQ(e2e::windowText(builtIn.mainWindow()), L"Built In");
  for (const char* setting : {"AreDefaultContextMenusEnabled 1", "AreDevToolsEnabled 1",
                              "AreBrowserAcceleratorKeysEnabled 1", "IsZoomControlEnabled 0"}) {
    EXPECT_TRUE(has(builtIn.pid(), "setting", setting)) << setting;
  }
  closeNormally(builtIn);

  LauncherProcess fromFile = start();
  ASSERT_TRUE(waitForPage(fromFile));
  EXPECT_EQ(e2e::windowText(fromFile.mainWindow()), L"Vazid Ureverivo");
  closeNormally(fromFile);
}

// Play starts client\system\L2.exe with the configured arguments unchanged, in its own folder,
// then the launcher closes.
TEST_F(LauncherTest, PlayStartsTheGameThenCloses) {
  config_.set("gameArgs", "-lang  \"two words\" \xC5\xBD");
  const fs::path game = client_ / L"system" / L"L2.exe";
  fs::create_directories(game.parent_path());
  fs::copy_file(pathFromUtf8(TARN_RECORDER_EXE), game);
  LauncherProcess launcher = start();
  ASSERT_TRUE(waitForPage(launcher));
  ASSERT_TRUE(launcher.webMessage(R"({"cmd":"play"})"));
  std::vector<std::string> lines;
  ASSERT_TRUE(e2e::waitUntil([&] { return (lines = e2e::recorderLines(game)).size() >= 2; }));
  EXPECT_EQ(lines[0], "\"" + pathToUtf8(game) + "\" -lang  \"two words\" \xC5\xBD");
  EXPECT_EQ(lines[1], "cwd=" + pathToUtf8(client_ / L"system"));
  ASSERT_TRUE(launcher.waitForExit());
  EXPECT_EQ(launcher.exitCode(), 0u);
}

// Closing never waits for a silent server, not even for the longest of the launcher's timeouts:
// the window is out of sight at once and the launcher ends while a download still stalls. The
// player's file is untouched and the part is kept for a later resume.
TEST_F(LauncherTest, ClosingWhileTheServerIsSilentEndsAtOnce) {
  test::PublishedSite site;
  site.publish({{"system/L2.exe", test::noise(400000, 3)}});
  site.script("system/L2.exe", test::Behaviour{.stallAfter = 131072});
  useSite(site);
  test::writeTestFile(client_ / L"system" / L"L2.exe", "the player's copy");
  LauncherProcess launcher = start();
  ASSERT_TRUE(waitForPage(launcher));
  ASSERT_TRUE(launcher.webMessage(R"({"cmd":"ready"})"));
  site.server.waitUntilStalled();
  HWND window = launcher.mainWindow();
  ASSERT_TRUE(launcher.webMessage(R"({"cmd":"close"})"));
  EXPECT_TRUE(e2e::waitUntil([&] { return !IsWindowVisible(window); }, 5000));
  EXPECT_TRUE(launcher.waitForExit(15000));
  EXPECT_EQ(launcher.exitCode(), 0u);
  EXPECT_EQ(test::readTestFile(client_ / L"system" / L"L2.exe"), "the player's copy");
  const auto isPart = [](const fs::directory_entry& e) { return e.path().extension() == L".part"; };
  EXPECT_TRUE(std::ranges::any_of(fs::recursive_directory_iterator(client_), isPart));  // kept
}

// Also on a real desktop: a read-only leftover of an earlier update is removed (without the
// window waiting for it); the hand-over that arrives while "drag" holds the window in its move
// loop waits until the loop has ended, instead of closing the view under the page's command;
// and a virus scanner that holds the new file for a moment does not stop the swap.
TEST_F(LauncherTest, ASelfUpdateSwapsTheExecutablesAndTheNewOneTakesOver) {
  std::string newBuild = test::readTestFile(exe_);
  newBuild += "a newer build";  // bytes after the image do not change what runs
  test::PublishedSite site;
  site.publish({{"system/L2.ini", "x"}}, {}, {"TarnLauncher.exe", newBuild});
  useSite(site);
  const fs::path leftover = exe_.native() + L".old";
  test::writeTestFile(leftover, "an older build");
  SetFileAttributesW(leftover.c_str(), FILE_ATTRIBUTE_READONLY);
  LauncherProcess old = start();
  ASSERT_TRUE(waitForPage(old));
  EXPECT_TRUE(e2e::waitUntil([&] { return !fs::exists(leftover); }, 10000));

  std::atomic<bool> dragged{false};
  std::thread drag([&] {
    EXPECT_TRUE(old.webMessage(R"({"cmd":"drag"})"));
    dragged = true;
  });
  Sleep(300);
  // The marker comes through while "drag" has not returned: the move loop runs, and the page's
  // next command arrives inside it.
  ASSERT_TRUE(old.sync(runtime_));
  EXPECT_FALSE(dragged);
  ASSERT_TRUE(old.webMessage(R"({"cmd":"ready"})"));
  const fs::path replacement = exe_.native() + L".new";
  ASSERT_TRUE(e2e::waitUntil([&] { return fs::exists(replacement); }));
  HANDLE scanner = CreateFileW(replacement.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(old.sync(runtime_));  // the hand-over has reached the window, inside the loop
  EXPECT_TRUE(IsWindow(old.mainWindow()));
  PostMessageW(old.mainWindow(), WM_KEYDOWN, VK_ESCAPE, 0);  // the move loop ends
  drag.join();
  Sleep(500);
  CloseHandle(scanner);

  ASSERT_TRUE(old.waitForExit());
  EXPECT_EQ(old.exitCode(), 0u);
  EXPECT_TRUE(has(old.pid(), "close", ""));
  EXPECT_FALSE(has(old.pid(), "close", "inside-handler"));

  // The new instance shows its own page once the old one has gone, and clears the old file.
  DWORD newPid = 0;
  ASSERT_TRUE(e2e::waitUntil([&] {
    for (const Event& event : runtime_.events()) {
      if (event.pid != old.pid() && event.name == "navigation") newPid = event.pid;
    }
    return newPid != 0;
  }));
  LauncherProcess updated = LauncherProcess::attach(newPid);
  EXPECT_TRUE(has(newPid, "commandline", "\"" + pathToUtf8(exe_) + "\" --updated"));
  EXPECT_TRUE(e2e::waitUntil([&] { return !fs::exists(exe_.native() + L".old"); }));
  EXPECT_EQ(test::readTestFile(exe_), newBuild);
  EXPECT_FALSE(fs::exists(exe_.native() + L".new"));

  // It is the manifest's build now, so its own run goes straight to the client's files.
  ASSERT_TRUE(updated.webMessage(R"({"cmd":"ready"})"));
  EXPECT_EQ(waitForMessage(newPid, "done").getString("code"), "updated");
  EXPECT_EQ(test::readTestFile(client_ / L"system" / L"L2.ini"), "x");
  closeNormally(updated);
}

// The run after a failed swap installs the client: files with names beyond ASCII, a removed
// file gone, and the run's messages reaching the page in the order the run sent them.
TEST_F(LauncherTest, AFailedSwapKeepsTheOldLauncherAndRunsANormalUpdate) {
  // Not a program: the renames work, starting it does not.
  const std::string notAProgram(4096, 'x');
  test::PublishedSite site;
  site.publish({{"system/L2.exe", test::noise(70000, 1)}, {"maps/äčė.dat", test::noise(1000, 2)}},
               {"system/old.dll"}, {"TarnLauncher.exe", notAProgram});
  useSite(site);
  test::writeTestFile(client_ / L"system" / L"old.dll", "outdated");
  const std::string oldBuild = test::readTestFile(exe_);
  LauncherProcess launcher = start();
  ASSERT_TRUE(waitForPage(launcher));
  const DWORD pid = launcher.pid();
  ASSERT_TRUE(launcher.webMessage(R"({"cmd":"ready"})"));

  EXPECT_EQ(
      waitForMessage(pid, "done").dump(),
      R"({"type":"done","ok":true,"canPlay":true,"code":"updated","detail":"","build":"build 1"})");
  std::vector<std::string> sequence;
  std::string phase;
  for (const Json& message : messages(pid)) {
    const std::string type = message.getString("type");
    if (type == "phase") sequence.push_back(phase = message.getString("phase"));
    // The launcher's own download reports as "download" within "selfupdate".
    if (type == "progress" && phase != "selfupdate") {
      EXPECT_EQ(message.getString("phase"), phase);
    }
    if (type == "notice" || type == "done")
      sequence.push_back(type + " " + message.getString("code"));
  }
  EXPECT_EQ(sequence, (std::vector<std::string>{"manifest", "selfupdate", "notice selfUpdateFailed",
                                                "manifest", "check", "download", "done updated"}));
  EXPECT_EQ(messages(pid).front().getString("type"), "init");
  EXPECT_EQ(test::readTestFile(exe_), oldBuild);
  EXPECT_FALSE(fs::exists(exe_.native() + L".new"));
  EXPECT_FALSE(fs::exists(exe_.native() + L".old"));
  EXPECT_EQ(test::readTestFile(client_ / L"system" / L"L2.exe"), test::noise(70000, 1));
  EXPECT_EQ(test::readTestFile(resolveRelative(client_, "maps/äčė.dat")), test::noise(1000, 2));
  EXPECT_FALSE(fs::exists(client_ / L"system" / L"old.dll"));
  closeNormally(launcher);
}

}  // namespace
}  // namespace tu
