#include "ui/page_bridge.h"

#include <utility>

namespace tu {

void PageBridge::deliverToPage(std::string text) {
  if (!host_.hasWebView() || !pageReady_) {
    pendingToPage_.push_back(std::move(text));
    return;
  }
  host_.deliverToWebView(text);
}

void PageBridge::pageAnnounced() {
  pageReady_ = true;
  std::vector<std::string> waiting = std::move(pendingToPage_);
  pendingToPage_.clear();
  for (const std::string& text : waiting) host_.deliverToWebView(text);
}

}  // namespace tu
