// RunEnd: how an update run ended, as one value from the place that decides it to the front
// ends. The page receives it as the "done" message (doneMessage); the console tool words it
// from that message.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/json.h"

namespace tu {

enum class EndCode {
  UpToDate,      // every file was correct already
  Updated,       // files were installed or removed
  Cancelled,     // the player stopped the run
  Failed,        // a file could not be fetched, checked or placed; or the folder is busy
  Offline,       // the manifest could not be fetched
  NoConfig,      // no update address or key
  BadSignature,  // the manifest's signature does not verify
  BadManifest,   // the signed manifest cannot be read
};

struct RunEnd {
  EndCode code = EndCode::Failed;
  bool ok = false;
  // False only when the run stopped half way through an install, so the client may not start.
  bool canPlay = true;
  std::string detail;  // the reason of a failure, "" otherwise

  // A run that went through to the end.
  static RunEnd finished(bool changed);
  // A run that stopped before its end.
  static RunEnd stopped(EndCode code, std::string detail, bool canPlay = true);
};

// The "code" word of the "done" message: "uptodate", "updated", "cancelled", "failed",
// "offline", "noconfig", "badsig", "badmanifest".
const char* endCodeText(EndCode code);
// The code a "done" message's word names; nullopt for a word no run sends.
std::optional<EndCode> endCodeFromText(std::string_view text);

// {"type":"done","ok":..,"canPlay":..,"code":..,"detail":..,"build":build}
Json doneMessage(const RunEnd& end, const std::string& build);

}  // namespace tu
