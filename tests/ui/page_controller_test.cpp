#include "ui/page_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "core/files.h"
#include "support/canned_fetcher.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "ui/page_messages.h"

namespace tu {
namespace {

using test::CannedFetcher;
using test::parsedAll;
using test::RecordingHost;
using test::TempDir;

class FakeUpdate : public UpdateControl {
 public:
  bool busy = false;
  std::vector<CheckMode> started;
  int cancels = 0;
  int done = 0;
  int joins = 0;
  std::vector<std::filesystem::path> replacements;
  std::function<void()> onCancel;

  void startUpdate(CheckMode mode) override { started.push_back(mode); }
  void cancelUpdate() override {
    ++cancels;
    if (onCancel) onCancel();
  }
  bool isBusy() const override { return busy; }
  void onUpdateDone() override { ++done; }
  void onSelfUpdate(const std::filesystem::path& path) override { replacements.push_back(path); }
  void joinWorker() override { ++joins; }
};

class PageControllerTest : public ::testing::Test {
 protected:
  PageControllerTest() {
    config.serverName = "Vazid";
    config.links = {{"website", "https://vazid.example/"}, {"forum", "http://forum.example/"}};
    paths = {dir / "TarnLauncher.exe", dir.path() / "client", dir.path() / "data"};
    services.makeFetcher = [this] {
      return std::make_unique<CannedFetcher>(std::map<std::string, std::string>{
          {"http://news/", "{\"news\":[]}"}, {"http://status/", "{\"online\":true}"}});
    };
    services.probe = [](const std::string&, int, int) { return false; };
    services.runDetached = [this](std::function<void()> body) {
      ++pollersStarted;
      if (runPollers) runDetachedThread(std::move(body));
    };
  }

  PageController& controller() {
    if (!controller_)
      controller_ = std::make_unique<PageController>(host, config, paths, prefs, update, services);
    return *controller_;
  }
  void pump() {
    host.pump([this](MainMessage message) { controller().handleMainMessage(std::move(message)); });
  }
  void send(std::string_view text) {
    controller().handleWebMessage(text);
    pump();
  }
  bool pumpUntil(const std::function<bool()>& done) {
    return host.pumpUntil(
        [this](MainMessage message) { controller().handleMainMessage(std::move(message)); }, done);
  }
  std::vector<std::string> deliveredTypes() {
    std::vector<std::string> types;
    for (const Json& message : parsedAll(host.delivered))
      types.push_back(message.getString("type"));
    return types;
  }
  void notice(const std::string& code) { sendNotice(host, code, ""); }

  TempDir dir;
  LauncherConfig config;
  LauncherPaths paths;
  Prefs prefs;
  FakeUpdate update;
  RecordingHost host;
  PollerServices services;
  std::atomic<int> pollersStarted{0};
  bool runPollers = false;  // counted only, unless a test wants their messages
  std::unique_ptr<PageController> controller_;
};

TEST_F(PageControllerTest, MessagesPostedBeforeTheFirstReadyFollowItInOrderBeforeInit) {
  controller();
  notice("one");
  std::thread([this] { notice("two"); }).join();
  pump();
  EXPECT_TRUE(host.delivered.empty());
  EXPECT_EQ(controller().pendingToPage().size(), 2u);
  notice("three");  // still in the window's queue when "ready" is handled
  send(R"({"cmd":"ready"})");
  std::string seen;
  for (const Json& message : parsedAll(host.delivered)) seen += message.getString("code") + ",";
  EXPECT_EQ(seen, "one,two,three,,");  // init has no code and comes last
  EXPECT_EQ(deliveredTypes().back(), "init");
  EXPECT_TRUE(controller().pendingToPage().empty());
  EXPECT_TRUE(controller().pageReady());
}

// A status host without a port cannot be probed: no poller starts, yet the check does.
TEST_F(PageControllerTest, MessagesWaitWhileTheWebViewIsMissing) {
  config.statusHost = "game.example";
  host.webView = false;
  send(R"({"cmd":"ready"})");
  EXPECT_TRUE(host.delivered.empty());
  EXPECT_EQ(controller().pendingToPage().size(), 1u);  // "init"
  EXPECT_EQ(pollersStarted, 0);
  EXPECT_EQ(update.started.size(), 1u);
}

TEST_F(PageControllerTest, InitDescribesTheServer) {
  prefs.currentLanguage = "ru";
  config.statusHost = "game.example";
  config.statusPort = 7777;
  send(R"({"cmd":"ready"})");
  ASSERT_EQ(host.delivered.size(), 1u);
  EXPECT_EQ(host.delivered[0],
            R"({"type":"init","serverName":"Vazid","version":"1.0.0","lang":"ru",)"
            R"("links":{"website":true,"forum":true},"news":false,"status":true})");
}

// A page that announces itself again (reloaded, or its renderer restarted) gets "init" and
// then the state it would otherwise wait for forever: the last "done" unless a run is going,
// the last "news" and "status". Nothing starts a second time.
TEST_F(PageControllerTest, FirstReadyStartsThePollersAndOneCheckLaterOnesReplayTheState) {
  config.newsUrl = "http://news/";
  config.statusUrl = "http://status/";
  runPollers = true;
  send(R"({"cmd":"ready"})");
  EXPECT_TRUE(controller().workersStarted());
  EXPECT_EQ(pollersStarted, 2);
  EXPECT_EQ(update.started, std::vector<CheckMode>{CheckMode::Check});
  ASSERT_TRUE(pumpUntil([this] {
    const auto types = deliveredTypes();
    return std::count(types.begin(), types.end(), "news") == 1 &&
           std::count(types.begin(), types.end(), "status") == 1;
  }));

  controller().postToPage(Json::parse(R"({"type":"done","ok":true})"));
  pump();

  host.delivered.clear();
  send(R"({"cmd":"ready"})");
  EXPECT_EQ(deliveredTypes(), (std::vector<std::string>{"init", "done", "news", "status"}));
  EXPECT_EQ(host.delivered[1], R"({"type":"done","ok":true})");
  EXPECT_EQ(pollersStarted, 2);
  EXPECT_EQ(update.started.size(), 1u);

  update.busy = true;
  host.delivered.clear();
  send(R"({"cmd":"ready"})");
  EXPECT_EQ(deliveredTypes(), (std::vector<std::string>{"init", "news", "status"}));
  controller().prepareToClose();  // lets the status poller end
}

TEST_F(PageControllerTest, CommandNamesAreExact) {
  for (const char* text : {R"({"cmd":"Ready"})", R"({"cmd":"ready "})", R"({"cmd":1})",
                           R"(["ready"])", R"({"cmd":["minimize"]})", R"({"command":"minimize"})",
                           R"({"cmd":"minimize")", "minimize", ""}) {
    send(text);
  }
  EXPECT_FALSE(controller().pageReady());
  EXPECT_TRUE(host.delivered.empty());
  EXPECT_EQ(host.minimized, 0);

  send(R"({"cmd":"minimize","extra":{"ignored":true}})");
  send(R"({"cmd":"close"})");
  send(R"({"cmd":"drag"})");
  send(R"({"cmd":"cancel"})");
  EXPECT_EQ(host.minimized, 1);
  EXPECT_EQ(host.closed, 1);
  EXPECT_EQ(host.drags, 1);
  EXPECT_EQ(update.cancels, 1);
}

// While a run goes, check and repair are dropped and play is refused with a notice.
TEST_F(PageControllerTest, CheckRepairAndPlayWaitForTheRun) {
  update.busy = true;
  send(R"({"cmd":"ready"})");
  for (const char* command : {R"({"cmd":"check"})", R"({"cmd":"repair"})", R"({"cmd":"play"})"})
    send(command);
  EXPECT_EQ(update.started.size(), 1u);  // the first ready's check
  EXPECT_EQ(host.delivered.back(), R"({"type":"notice","code":"busy","detail":""})");
  EXPECT_TRUE(host.starts.empty());
  update.busy = false;
  send(R"({"cmd":"repair"})");
  send(R"({"cmd":"check"})");
  EXPECT_EQ(update.started,
            (std::vector<CheckMode>{CheckMode::Check, CheckMode::Repair, CheckMode::Check}));
}

// Only configured links, by name, and web addresses reach the player's browser.
TEST_F(PageControllerTest, LinksByNameAndOnlyHttpAndHttpsAddressesAreOpened) {
  for (const char* text : {R"({"cmd":"link","name":"Website"})", R"({"cmd":"link","name":1})",
                           R"({"cmd":"link","name":"https://vazid.example/"})", R"({"cmd":"link"})",
                           R"({"cmd":"openUrl","url":7})"}) {
    send(text);
  }
  for (const char* url : {"HTTPS://a.example/", "ftp://a.example/", "file:///C:/Windows/a.exe",
                          "mailto:a@example", "javascript:alert(1)", "", "https:/a", "http:"}) {
    Json command = Json::object();
    command.set("cmd", "openUrl");
    command.set("url", url);
    send(command.dump());
  }
  EXPECT_TRUE(host.opened.empty());
  send(R"({"cmd":"link","name":"forum"})");
  send(R"({"cmd":"openUrl","url":"https://a.example/x"})");
  send(R"({"cmd":"openUrl","url":"http://b.example/"})");
  EXPECT_EQ(host.opened, (std::vector<std::string>{"http://forum.example/", "https://a.example/x",
                                                   "http://b.example/"}));
}

TEST_F(PageControllerTest, SetLanguageTakesThePageLanguagesAndSavesThem) {
  for (const char* text :
       {R"({"cmd":"setLanguage","lang":"de"})", R"({"cmd":"setLanguage","lang":"EN"})",
        R"({"cmd":"setLanguage","lang":5})", R"({"cmd":"setLanguage"})"}) {
    send(text);
  }
  EXPECT_EQ(prefs.currentLanguage, "lt");
  EXPECT_FALSE(std::filesystem::exists(prefsFile(paths.dataFolder)));

  send(R"({"cmd":"setLanguage","lang":"en"})");
  EXPECT_EQ(prefs.currentLanguage, "en");
  std::string saved;
  ASSERT_TRUE(readFile(prefsFile(paths.dataFolder), saved));
  EXPECT_EQ(Json::parse(saved).getString("lang"), "en");
  send(R"({"cmd":"ready"})");
  EXPECT_EQ(parsedAll(host.delivered).back().getString("lang"), "en");
}

// What the settings panel saves lands in the configured options file and is read back from it.
TEST_F(PageControllerTest, SettingsCommandsUseTheConfiguredOptionsFile) {
  config.options = "system/Options.ini";
  send(R"({"cmd":"ready"})");
  send(R"({"cmd":"saveSettings","windowed":false,"width":1920,"height":1080})");
  send(R"({"cmd":"getSettings"})");
  EXPECT_TRUE(std::filesystem::exists(paths.clientDir / "system" / "Options.ini"));
  EXPECT_EQ(parsedAll(host.delivered).back().getInt64("width", 0), 1920);
}

TEST_F(PageControllerTest, MainThreadMessagesReachTheUpdateRunAndClosingEndsIt) {
  MainMessage done;
  done.kind = MainMessage::Kind::UpdateDone;
  host.post(std::move(done));
  MainMessage replacement;
  replacement.kind = MainMessage::Kind::SelfUpdate;
  replacement.path = dir / "TarnLauncher.exe.new";
  host.post(std::move(replacement));
  pump();
  EXPECT_EQ(update.done, 1);
  EXPECT_EQ(update.replacements, std::vector<std::filesystem::path>{dir / "TarnLauncher.exe.new"});

  // Closing hides the window, then quits, cancels and waits for the run.
  EXPECT_FALSE(controller().quitting());
  update.onCancel = [this] { EXPECT_EQ(host.hidden, 1) << "hidden before the wait begins"; };
  controller().prepareToClose();
  EXPECT_TRUE(controller().quitting());
  EXPECT_EQ(update.cancels, 1);
  EXPECT_EQ(update.joins, 1);
}

}  // namespace
}  // namespace tu
