#include "update/update_controller.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <new>
#include <regex>

#include "support/canned_fetcher.h"
#include "update/update_fixture.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

// Records what the worker posts; the test plays the main thread by waiting for UpdateDone
// or SelfUpdate.
class RecordingMainThread : public MainThread {
 public:
  bool post(MainMessage message) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(message);
    }
    changed_.notify_all();
    return true;
  }

  // Waits for a message of this kind; returns every message posted so far.
  std::vector<MainMessage> waitFor(MainMessage::Kind kind) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] {
      for (const MainMessage& m : messages_) {
        if (m.kind == kind) return true;
      }
      return false;
    });
    return messages_;
  }

  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<MainMessage> messages_;
};

class Controller : public UpdateFixture {
 protected:
  std::vector<std::string> texts(const std::vector<MainMessage>& messages) {
    std::vector<std::string> out;
    for (const MainMessage& m : messages) {
      out.push_back(m.kind == MainMessage::Kind::PostJson     ? m.text
                    : m.kind == MainMessage::Kind::UpdateDone ? "UpdateDone"
                                                              : "SelfUpdate");
    }
    return out;
  }
  RecordingMainThread mainThread;
};

TEST_F(Controller, PostsEveryMessageInOrderAndUpdateDoneLast) {
  publish({{"a.txt", "a"}});
  UpdateController controller(mainThread, config, client, {});
  EXPECT_FALSE(controller.isBusy());
  controller.cancelUpdate();  // idle: must not cancel the next run
  controller.startUpdate(CheckMode::Check);
  EXPECT_TRUE(controller.isBusy());
  controller.startUpdate(CheckMode::Repair);  // ignored while busy
  // The transfer's own throttled progress and the measured speed depend on timing; the rest
  // of the sequence does not.
  std::vector<std::string> messages;
  for (const std::string& text : texts(mainThread.waitFor(MainMessage::Kind::UpdateDone))) {
    if (text.find(R"("phase":"download","file":"a.txt","filesDone":0,)") != std::string::npos &&
        text.find(R"("bytesDone":0,)") == std::string::npos) {
      continue;
    }
    messages.push_back(
        std::regex_replace(text, std::regex(R"("speed":[-+.e0-9]+)"), R"("speed":0)"));
  }
  const std::string sha = entry("a.txt").sha256;
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

  // A second run after the first has ended; a repair this time.
  mainThread.clear();
  controller.startUpdate(CheckMode::Repair);
  const auto again = texts(mainThread.waitFor(MainMessage::Kind::UpdateDone));
  EXPECT_EQ(again[again.size() - 2],
            R"({"type":"done","ok":true,"canPlay":true,"code":"uptodate","detail":"",)"
            R"("build":"build 1"})");
  controller.onUpdateDone();
}

// A cancel reaches the run wherever it is: before the worker has registered it, and inside a
// request that waits for a silent server (far longer than the test's patience). Either way the
// run ends as the player's cancel, with Play still possible, not as "offline".
TEST_F(Controller, ACancelIsNeverLostAndEndsAWaitingRequest) {
  publish({{"a.txt", "a"}});
  UpdateController controller(mainThread, config, client, {});
  controller.startUpdate(CheckMode::Check);
  controller.cancelUpdate();
  auto messages = texts(mainThread.waitFor(MainMessage::Kind::UpdateDone));
  EXPECT_NE(messages[messages.size() - 2].find(R"("code":"cancelled")"), std::string::npos);
  controller.onUpdateDone();

  mainThread.clear();
  server.script("/manifest.json", {.body = servedManifest, .stallBeforeHeaders = true});
  controller.startUpdate(CheckMode::Check);
  server.waitUntilStalled();
  controller.cancelUpdate();
  messages = texts(mainThread.waitFor(MainMessage::Kind::UpdateDone));
  EXPECT_EQ(messages[messages.size() - 2],
            R"({"type":"done","ok":false,"canPlay":true,"code":"cancelled","detail":"",)"
            R"("build":""})");
  controller.onUpdateDone();
}

// A run that throws (here: out of memory in the fetcher) must not end the process; it ends as
// failed and the launcher is told the run is over.
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
  EXPECT_EQ(texts(mainThread.waitFor(MainMessage::Kind::UpdateDone)),
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
  const auto messages = mainThread.waitFor(MainMessage::Kind::SelfUpdate);
  controller.joinWorker();  // the apply step joins the ended worker
  EXPECT_EQ(mainThread.waitFor(MainMessage::Kind::SelfUpdate).size(), messages.size());
  EXPECT_EQ(messages.back().kind, MainMessage::Kind::SelfUpdate);
  EXPECT_EQ(messages.back().path, at("TarnLauncher.exe.new"));
  EXPECT_TRUE(controller.isBusy()) << "busy until the apply step";

  // After a failed swap the launcher is left alone for good.
  controller.disableSelfUpdate();
  controller.setBusy(false);
  mainThread.clear();
  controller.startUpdate(CheckMode::Check);
  const auto normal = texts(mainThread.waitFor(MainMessage::Kind::UpdateDone));
  EXPECT_EQ(normal[1], R"({"type":"phase","phase":"check"})");
  controller.onUpdateDone();
}

TEST_F(Controller, DestructorCancelsAndJoins) {
  publish({{"a.txt", "a"}});
  auto controller = std::make_unique<UpdateController>(mainThread, config, client, fs::path());
  controller->startUpdate(CheckMode::Check);
  controller.reset();  // must not hang or leave a thread running
  EXPECT_EQ(texts(mainThread.waitFor(MainMessage::Kind::UpdateDone)).back(), "UpdateDone");
}

}  // namespace
}  // namespace tu::test
