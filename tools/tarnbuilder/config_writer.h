// config: the launcher's TarnLauncher.json, written from the staff's answers and checked with
// the launcher's own parser before it is written, so a file this makes is always accepted.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tu::builder {

struct ConfigAnswers {
  std::string publicKey;  // 64 hexadecimal digits
  std::string updateUrl;  // http:// or https://
  std::string serverName = "Lineage II";
  std::string newsUrl;
  std::string statusUrl;
  std::string statusHost;
  std::int32_t statusPort = 0;
  std::string game = "system/L2.exe";
  std::string gameArgs;
  std::string options = "system/Option.ini";
  std::string language = "lt";
  bool closeOnPlay = true;
  bool desktopShortcut = true;
  std::vector<std::pair<std::string, std::string>> links;  // name, http(s) URL
};

// The document (indented JSON and a line feed, every key written out so staff can edit it
// later), or false with the first thing the launcher would refuse or silently drop.
bool configText(const ConfigAnswers& answers, std::string& text, std::string& err);

}  // namespace tu::builder
