#include "tarnbuilder/config_writer.h"

#include "core/config.h"
#include "core/files.h"
#include "core/json.h"
#include "tarnbuilder/key_file.h"

namespace tu::builder {

namespace {

bool startsWith(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The launcher fetches and opens only http:// and https:// addresses.
bool isWebUrl(const std::string& url) {
  const std::size_t rest = startsWith(url, "https://") ? 8 : startsWith(url, "http://") ? 7 : 0;
  if (rest == 0 || url.size() == rest) return false;
  for (const char c : url) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == '"' || c == 0x7F) return false;
  }
  return true;
}

}  // namespace

bool configText(const LauncherConfig& answers, std::string& text, std::string& error) {
  if (!isPublicKeyText(answers.publicKey)) {
    error = "the public key must be 64 hexadecimal digits (tarnbuilder pubkey KEYFILE prints it)";
    return false;
  }
  if (!isWebUrl(answers.updateUrl)) {
    error = "the update URL must start with http:// or https://";
    return false;
  }
  for (const auto& [name, url] :
       {std::pair<const char*, const std::string&>{"news", answers.newsUrl},
        {"status", answers.statusUrl}}) {
    if (!url.empty() && !isWebUrl(url)) {
      error = std::string("the ") + name + " URL must start with http:// or https://";
      return false;
    }
  }
  if (answers.statusPort < 0 || answers.statusPort > 65535) {
    error = "the status port must be 0 to 65535";
    return false;
  }
  if (!isSafeRelativePath(answers.game)) {
    error = "the game must be a path inside the client folder, e.g. system/L2.exe";
    return false;
  }
  if (!answers.options.empty() && !isSafeRelativePath(answers.options)) {
    error = "the options file must be a path inside the client folder, e.g. system/Option.ini";
    return false;
  }
  if (answers.language != "lt" && answers.language != "en" && answers.language != "ru") {
    error = "the language must be lt, en or ru";
    return false;
  }
  Json links = Json::object();
  for (const auto& [name, url] : answers.links) {
    if (name.empty()) {
      error = "a link needs a name (NAME=URL)";
      return false;
    }
    if (links.has(name)) {
      error = "the link " + name + " is given twice";
      return false;
    }
    if (!isWebUrl(url)) {
      error =
          "the link " + name + " must start with http:// or https:// (the launcher drops others)";
      return false;
    }
    links.set(name, url);
  }

  std::string updateUrl = answers.updateUrl;
  if (updateUrl.back() != '/') updateUrl += '/';
  Json root = Json::object();
  root.set("serverName", answers.serverName);
  root.set("updateUrl", updateUrl);
  root.set("publicKey", toLowerAscii(answers.publicKey));
  root.set("newsUrl", answers.newsUrl);
  root.set("statusUrl", answers.statusUrl);
  root.set("statusHost", answers.statusHost);
  root.set("statusPort", answers.statusPort);
  root.set("game", answers.game);
  root.set("gameArgs", answers.gameArgs);
  root.set("options", answers.options);
  root.set("language", answers.language);
  root.set("closeOnPlay", answers.closeOnPlay);
  root.set("desktopShortcut", answers.desktopShortcut);
  root.set("links", std::move(links));
  std::string document = root.dump(true) + "\n";

  // The launcher's own reading of it, so nothing here can drift from what it accepts.
  LauncherConfig config;
  std::string parseError;
  if (!parseConfig(document, config, parseError)) {
    error = "the launcher would refuse this configuration: " + parseError;
    return false;
  }
  text = std::move(document);
  return true;
}

}  // namespace tu::builder
