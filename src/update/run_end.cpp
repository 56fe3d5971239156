#include "update/run_end.h"

#include <utility>

namespace tu {

namespace {

struct CodeWord {
  EndCode code;
  const char* text;
};

constexpr CodeWord kCodeWords[] = {
    {EndCode::UpToDate, "uptodate"},   {EndCode::Updated, "updated"},
    {EndCode::Cancelled, "cancelled"}, {EndCode::Failed, "failed"},
    {EndCode::Offline, "offline"},     {EndCode::NoConfig, "noconfig"},
    {EndCode::BadSignature, "badsig"}, {EndCode::BadManifest, "badmanifest"},
};

}  // namespace

RunEnd RunEnd::finished(bool changed) {
  return RunEnd{changed ? EndCode::Updated : EndCode::UpToDate, true, true, ""};
}

RunEnd RunEnd::stopped(EndCode code, std::string detail, bool canPlay) {
  return RunEnd{code, false, canPlay, std::move(detail)};
}

const char* endCodeText(EndCode code) {
  for (const CodeWord& word : kCodeWords) {
    if (word.code == code) return word.text;
  }
  return "failed";
}

std::optional<EndCode> endCodeFromText(std::string_view text) {
  for (const CodeWord& word : kCodeWords) {
    if (text == word.text) return word.code;
  }
  return std::nullopt;
}

Json doneMessage(const RunEnd& end, const std::string& build) {
  Json message = Json::object();
  message.set("type", "done");
  message.set("ok", end.ok);
  message.set("canPlay", end.canPlay);
  message.set("code", endCodeText(end.code));
  message.set("detail", end.detail);
  message.set("build", build);
  return message;
}

}  // namespace tu
