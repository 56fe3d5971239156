// config: the launcher's TarnLauncher.json, written from the staff's answers and checked with
// the launcher's own parser before it is written, so a file this makes is always accepted.
#pragma once

#include <string>

#include "core/config.h"

namespace tu::builder {

// The document (indented JSON and a line feed, every key written out so staff can edit it
// later), or false with the first thing the launcher would refuse or silently drop. `answers`
// holds the staff's values as given; the launcher's defaults are the starting point.
bool configText(const LauncherConfig& answers, std::string& text, std::string& error);

}  // namespace tu::builder
