// PageBridge: the main thread's end of the route from any thread to the page. Page messages
// arrive here in posting order (Host's main-thread queue); until the page has announced itself
// with "ready" they wait in pendingToPage, afterwards they go straight to the web view.
// Main thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/host.h"

namespace tu {

class PageBridge {
 public:
  explicit PageBridge(Host& host) : host_(host) {}

  // One posted page message (WM_APP_POST_JSON): to the web view when it exists and the page
  // is ready, else to the end of pendingToPage.
  void deliverToPage(std::string text);

  // The bridge's part of every "ready": the page is ready from now on, and what waited is
  // handed to the web view, oldest first. pageReady is never cleared.
  void pageAnnounced();

  // What a page that announces itself again (reloaded, or its renderer restarted) needs
  // besides "init", or it would sit busy with nothing to show: the last "done" (only when no
  // run is going; a running one reports on its own), the last "news" and the last "status"
  // that came through, in that order.
  std::vector<std::string> stateForReloadedPage(bool runGoing) const;

  bool pageReady() const { return pageReady_; }
  const std::vector<std::string>& pendingToPage() const { return pendingToPage_; }

 private:
  void remember(const std::string& text);

  Host& host_;
  std::vector<std::string> pendingToPage_;
  bool pageReady_ = false;
  std::string lastDone_;
  std::string lastNews_;
  std::string lastStatus_;
};

// The "type" of a page message text, which the host always writes first
// ({"type":"done",...}); empty for any other text.
std::string_view pageMessageType(std::string_view text);

}  // namespace tu
