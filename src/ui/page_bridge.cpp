#include "ui/page_bridge.h"

#include <utility>

namespace tu {

std::string_view pageMessageType(std::string_view text) {
  constexpr std::string_view kStart = R"({"type":")";
  if (text.substr(0, kStart.size()) != kStart) return {};
  text.remove_prefix(kStart.size());
  const std::size_t end = text.find('"');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end);
}

void PageBridge::remember(const std::string& text) {
  const std::string_view type = pageMessageType(text);
  if (type == "done") lastDone_ = text;
  if (type == "news") lastNews_ = text;
  if (type == "status") lastStatus_ = text;
}

std::vector<std::string> PageBridge::stateForReloadedPage(bool runGoing) const {
  std::vector<std::string> state;
  for (const std::string* text : {runGoing ? nullptr : &lastDone_, &lastNews_, &lastStatus_}) {
    if (text && !text->empty()) state.push_back(*text);
  }
  return state;
}

void PageBridge::deliverToPage(std::string text) {
  remember(text);
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
