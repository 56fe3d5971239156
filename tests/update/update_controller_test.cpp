#include "update/update_controller.h"

#include <gtest/gtest.h>

#include <new>
#include <regex>

#include "app/console_queue.h"
#include "support/canned_fetcher.h"
#include "update/update_fixture.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

// The test plays the main thread with the console front end's queue.
class Controller : public UpdateFixture {
 protected:
  // What the worker posts, up to and including the first message of this kind.
  std::vector<std::string> takeUntil(MainMessage::Kind kind) {
    std::vector<std::string> texts;
    for (MainMessage m; m.kind != kind || texts.empty();) {
      m = mainThread.take().message;
      texts.push_back(m.kind == MainMessage::Kind::PostJson ? m.text
                      : m.kind == MainMessage::Kind::UpdateDone
                          ? "UpdateDone"
                          : "SelfUpdate " + pathToUtf8(m.path));
    }
    return texts;
  }
  ConsoleQueue mainThread;
};

TEST_F(Controller, PostsEveryMessageInOrderAndUpdateDoneLast) {
  publish({{"a.txt", "a"}});
  UpdateController controller(mainThread, config, client, {});
  controller.cancelUpdate();  // idle: must not cancel the next run
  controller.startUpdate(CheckMode::Check);
  EXPECT_TRUE(controller.isBusy());
  controller.startUpdate(CheckMode::Repair);  // ignored while busy
  // The transfer's own throttled progress and the measured speed depend on timing; the rest
  // of the sequence does not.
  std::vector<std::string> messages;
  for (const std::string& text : takeUntil(MainMessage::Kind::UpdateDone)) {
    if (text.find(R"("phase":"download","file":"a.txt","filesDone":0,)") != std::string::npos &&
        text.find(R"("bytesDone":0,)") == std::string::npos) {
      continue;
    }
    messages.push_back(
        std::regex_replace(text, std::regex(R"("speed":[-+.e0-9]+)"), R"("speed":0)"));
  }
  const std::string packed = std::to_string(entry("a.txt").packed);
  EXPECT_EQ(messages,
            (std::vector<std::string>{
                R"({"type":"phase","phase":"manifest"})", R"({"type":"phase","phase":"check"})",
                R"({"type":"progress","phase":"check","file":"a.txt","filesDone":1,)"
                R"("filesTotal":1,"bytesDone":1,"bytesTotal":1,"speed":0})",
                R"({"type":"phase","phase":"download"})",
                R"({"type":"progress","phase":"download","file":"a.txt","filesDone":0,)"
                R"("filesTotal":1,"bytesDone":0,"bytesTotal":)" +
                    packed + R"(,"speed":0})",
                R"({"type":"progress","phase":"download","file":"a.txt","filesDone":1,)"
                R"("filesTotal":1,"bytesDone":)" +
                    packed + R"(,"bytesTotal":)" + packed + R"(,"speed":0})",
                R"({"type":"done","ok":true,"canPlay":true,"code":"updated","detail":"",)"
                R"("build":"build 1"})",
                "UpdateDone"}));
  EXPECT_TRUE(controller.isBusy()) << "until the main thread handles UpdateDone";
  controller.onUpdateDone();
  EXPECT_FALSE(controller.isBusy());
}

// A cancel before the worker has started, or inside a request to a silent server, ends the run
// as the player's cancel (Play still possible), not "offline"; the destructor cancels and waits.
TEST_F(Controller, ACancelIsNeverLostAndEndsAWaitingRequest) {
  publish({{"a.txt", "a"}});
  auto owned = std::make_unique<UpdateController>(mainThread, config, client, fs::path());
  UpdateController& controller = *owned;
  controller.startUpdate(CheckMode::Check);
  controller.cancelUpdate();
  auto messages = takeUntil(MainMessage::Kind::UpdateDone);
  EXPECT_NE(messages[messages.size() - 2].find(R"("code":"cancelled")"), std::string::npos);
  controller.onUpdateDone();

  server.script("/manifest.json", {.body = servedManifest, .stallBeforeHeaders = true});
  controller.startUpdate(CheckMode::Check);
  server.waitUntilStalled();
  controller.cancelUpdate();
  messages = takeUntil(MainMessage::Kind::UpdateDone);
  EXPECT_EQ(messages[messages.size() - 2],
            R"({"type":"done","ok":false,"canPlay":true,"code":"cancelled","detail":"",)"
            R"("build":""})");
  controller.onUpdateDone();
  controller.startUpdate(CheckMode::Check);
  owned.reset();  // must not hang or leave a thread running
  EXPECT_EQ(takeUntil(MainMessage::Kind::UpdateDone).back(), "UpdateDone");
}

// A run that throws must not end the process; it ends as failed and the run is over.
TEST_F(Controller, ARunThatThrowsEndsAsFailed) {
  class ThrowingFetcher : public CannedFetcher {
   public:
    bool getText(const std::string&, std::string&, std::string&) override {
      throw std::bad_alloc();
    }
  };
  UpdateController controller(mainThread, config, client, {},
                              [] { return std::make_unique<ThrowingFetcher>(); });
  controller.startUpdate(CheckMode::Check);
  EXPECT_EQ(takeUntil(MainMessage::Kind::UpdateDone),
            (std::vector<std::string>{R"({"type":"phase","phase":"manifest"})",
                                      R"({"type":"done","ok":false,"canPlay":true,"code":"failed",)"
                                      R"("detail":"out of memory","build":""})",
                                      "UpdateDone"}));
  controller.onUpdateDone();
  controller.cancelUpdate();  // nothing left over from the run that threw
}

TEST_F(Controller, HandOverPostsSelfUpdateAndNoUpdateDone) {
  const fs::path exe = at("TarnLauncher.exe");
  writeTestFile(exe, "old");
  publish({{"a.txt", "a"}}, {}, {"TarnLauncher.exe", "new"});
  UpdateController controller(mainThread, config, client, exe);
  controller.startUpdate(CheckMode::Check);
  EXPECT_EQ(takeUntil(MainMessage::Kind::SelfUpdate).back(),
            "SelfUpdate " + pathToUtf8(at("TarnLauncher.exe.new")));
  controller.joinWorker();  // the apply step joins the ended worker
  mainThread.post({});
  EXPECT_EQ(takeUntil(MainMessage::Kind::PostJson), std::vector<std::string>{""})
      << "nothing after the hand-over";
  EXPECT_TRUE(controller.isBusy()) << "busy until the apply step";

  // After a failed swap the launcher is left alone for good.
  controller.disableSelfUpdate();
  controller.setBusy(false);
  controller.startUpdate(CheckMode::Check);
  const auto normal = takeUntil(MainMessage::Kind::UpdateDone);
  EXPECT_EQ(normal[1], R"({"type":"phase","phase":"check"})");
}

}  // namespace
}  // namespace tu::test
