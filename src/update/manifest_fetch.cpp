// Updater::fetchManifest: the only way a manifest enters a run, and only once it verified.
#include "update/updater.h"

namespace tu {

bool Updater::fetchManifest(Manifest& out, std::string& code, std::string& message) {
  if (config.updateUrl.empty() || config.publicKey.size() != 64) {
    code = "noconfig";
    message = "updateUrl / publicKey missing in TarnLauncher.json";
    return false;
  }
  std::string body;
  std::string signature;
  std::string error;
  if (!fetcher.getText(config.updateUrl + "manifest.json", body, error) ||
      !fetcher.getText(config.updateUrl + "manifest.sig", signature, error)) {
    code = "offline";
    message = error;
    return false;
  }
  // The signature covers the bytes exactly as served; nothing is parsed before it verified.
  if (!verifyManifestSignature(body, signature, config.publicKey)) {
    code = "badsig";
    message = "manifest signature does not match";
    return false;
  }
  Manifest parsed;
  std::string parseError;
  if (!parseManifest(Json::parse(body), parsed, parseError)) {
    code = "badmanifest";
    message = parseError;
    return false;
  }
  build = parsed.build;
  out = std::move(parsed);
  return true;
}

}  // namespace tu
