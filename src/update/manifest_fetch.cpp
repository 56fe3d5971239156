// Updater::fetchManifest: the only way a manifest enters a run, and only once it verified.
#include "update/updater.h"

namespace tu {

bool Updater::fetchManifest(Manifest& out, EndCode& failure, std::string& error) {
  if (config_.updateUrl.empty() || config_.publicKey.size() != 64) {
    failure = EndCode::NoConfig;
    error = "updateUrl / publicKey missing in TarnLauncher.json";
    return false;
  }
  std::string body;
  std::string signature;
  if (!fetcher_.getText(config_.updateUrl + "manifest.json", body, error) ||
      !fetcher_.getText(config_.updateUrl + "manifest.sig", signature, error)) {
    failure = EndCode::Offline;
    return false;
  }
  // The signature covers the bytes exactly as served; nothing is parsed before it verified.
  if (!verifyManifestSignature(body, signature, config_.publicKey)) {
    failure = EndCode::BadSignature;
    error = "manifest signature does not match";
    return false;
  }
  Manifest parsed;
  if (!parseManifest(Json::parse(body), parsed, error)) {
    failure = EndCode::BadManifest;
    return false;
  }
  build_ = parsed.build;
  out = std::move(parsed);
  return true;
}

}  // namespace tu
