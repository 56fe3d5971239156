// RecordingHost: a Host that records what the UI logic asks of the window, and a pump that
// plays the window's main thread (messages handled one by one, in posting order). Any thread
// may post; everything else is for the test's own thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/json.h"
#include "ui/host.h"

namespace tu::test {

struct ProcessStart {
  std::filesystem::path program;
  std::string arguments;
  std::filesystem::path workingFolder;
};

class RecordingHost : public Host {
 public:
  bool webView = true;
  ProcessStartResult startResult{true, 0, false};
  std::vector<DisplayMode> modes;

  std::vector<std::string> delivered;  // texts handed to the web view, in order
  int hidden = 0;
  int minimized = 0;
  int closed = 0;
  int drags = 0;
  std::vector<std::string> opened;
  std::vector<ProcessStart> starts;

  bool post(MainMessage message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(message));
    posted_.notify_all();
    return true;
  }
  bool hasWebView() const override { return webView; }
  void deliverToWebView(const std::string& json) override { delivered.push_back(json); }
  void hideWindow() override { ++hidden; }
  void minimizeWindow() override { ++minimized; }
  void closeWindow() override { ++closed; }
  void startWindowDrag() override { ++drags; }
  void shellOpen(const std::string& url) override { opened.push_back(url); }
  ProcessStartResult startProcess(const std::filesystem::path& program,
                                  const std::string& arguments,
                                  const std::filesystem::path& workingFolder) override {
    starts.push_back({program, arguments, workingFolder});
    return startResult;
  }
  std::vector<DisplayMode> displayModes() override { return modes; }

  // Hands every queued message to `handle`, oldest first, including those posted meanwhile.
  void pump(const std::function<void(MainMessage)>& handle) {
    for (;;) {
      MainMessage message;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty()) return;
        message = std::move(queue_.front());
        queue_.pop_front();
      }
      handle(std::move(message));
    }
  }

  // Takes the queued messages' texts, parsed (for code that posts without a PageController).
  std::vector<Json> takePosted() {
    std::vector<Json> out;
    pump([&](MainMessage message) { out.push_back(Json::parse(message.text)); });
    return out;
  }

  // Pumps until `done` holds, waiting for posts from other threads in between. False when it
  // still does not hold after a generous bound (a hang, not a slow machine).
  bool pumpUntil(const std::function<void(MainMessage)>& handle,
                 const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      pump(handle);
      if (done()) return true;
      std::unique_lock<std::mutex> lock(mutex_);
      if (!posted_.wait_until(lock, limit, [&] { return !queue_.empty(); })) return done();
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<MainMessage> queue_;
};

inline std::vector<Json> parsedAll(const std::vector<std::string>& texts) {
  std::vector<Json> out;
  for (const std::string& text : texts) out.push_back(Json::parse(text));
  return out;
}

}  // namespace tu::test
