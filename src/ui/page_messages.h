// The one way any thread sends a message to the page: the message is written as compact JSON
// text here, on the sending thread, and posted to the main thread, which hands it to the page
// (or keeps it until the page has announced itself). Every sender goes through the same
// main-thread queue, so messages reach the page in posting order whatever thread posted them.
#pragma once

#include <string>
#include <utility>

#include "core/json.h"
#include "core/main_thread.h"

namespace tu {

// Any thread. False when there is no main window (yet, or any more): the message is lost.
inline bool postToPage(MainThread& mainThread, const Json& message) {
  MainMessage posted;
  posted.kind = MainMessage::Kind::PostJson;
  posted.text = message.dump();
  return mainThread.post(std::move(posted));
}

// Any thread. {"type":"notice","code":code,"detail":detail}; detail is "" when there is
// nothing to add.
inline bool sendNotice(MainThread& mainThread, const std::string& code, const std::string& detail) {
  Json message = Json::object();
  message.set("type", "notice");
  message.set("code", code);
  message.set("detail", detail);
  return postToPage(mainThread, message);
}

}  // namespace tu
