// The one way worker threads reach the main thread: a posted message, handled by the main
// window in posting order (the launcher's WM_APP_* window messages). Workers never touch the
// window or the web view themselves.
#pragma once

#include <filesystem>
#include <string>

namespace tu {

struct MainMessage {
  enum class Kind {
    PostJson,    // WM_APP_POST_JSON: `text` is one compact page message
    SelfUpdate,  // WM_APP_SELF_UPDATE: `path` is the downloaded launcher replacement
    UpdateDone,  // WM_APP_UPDATE_DONE: the update worker has ended
  };
  Kind kind = Kind::PostJson;
  std::string text;
  std::filesystem::path path;
};

class MainThread {
 public:
  virtual ~MainThread() = default;
  // Any thread. Queues the message for the main thread; messages from all threads are handled
  // in posting order. False when there is no main window (yet, or any more): the message is
  // dropped.
  virtual bool post(MainMessage message) = 0;
};

}  // namespace tu
