// PageBridge: the main thread's end of the route from any thread to the page. Page messages
// arrive here in posting order (Host's main-thread queue); until the page has announced itself
// with "ready" they wait in pendingToPage, afterwards they go straight to the web view.
// Main thread only.
#pragma once

#include <string>
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
  // handed to the web view, oldest first. pageReady is never cleared, so a reloaded page gets
  // no replay.
  void pageAnnounced();

  bool pageReady() const { return pageReady_; }
  const std::vector<std::string>& pendingToPage() const { return pendingToPage_; }

 private:
  Host& host_;
  std::vector<std::string> pendingToPage_;
  bool pageReady_ = false;
};

}  // namespace tu
