#include "ui/settings_commands.h"

#include <cstdint>

#include "game/display_modes.h"
#include "ui/page_messages.h"

namespace tu {

void sendSettings(Host& host, const std::filesystem::path& optionsFile,
                  const std::string& language) {
  DisplayOptions options;
  readGameOptions(optionsFile, options);  // a missing file leaves the defaults
  Json resolutions = Json::array();
  for (const Resolution& size : resolutionList(host.displayModes(), options)) {
    Json pair = Json::array();
    pair.push(size.first);
    pair.push(size.second);
    resolutions.push(std::move(pair));
  }
  Json message = Json::object();
  message.set("type", "settings");
  message.set("windowed", options.windowed);
  message.set("width", options.width);
  message.set("height", options.height);
  message.set("lang", language);
  message.set("resolutions", std::move(resolutions));
  postToPage(host, message);
}

DisplayOptions savedDisplayOptions(DisplayOptions stored, const Json& command) {
  const Json& windowed = command.get("windowed");
  if (windowed.isBool()) stored.windowed = windowed.asBool();
  const Json& width = command.get("width");
  const Json& height = command.get("height");
  const std::int64_t newWidth = width.isNumber() ? truncateToInt64(width.asNumber()) : stored.width;
  const std::int64_t newHeight =
      height.isNumber() ? truncateToInt64(height.asNumber()) : stored.height;
  if (newWidth >= 640 && newWidth <= 16384 && newHeight >= 480 && newHeight <= 16384) {
    stored.width = static_cast<std::int32_t>(newWidth);
    stored.height = static_cast<std::int32_t>(newHeight);
  }
  return stored;
}

void handleSaveSettings(Host& host, const std::filesystem::path& optionsFile, const Json& command) {
  DisplayOptions options;
  readGameOptions(optionsFile, options);
  const bool ok = writeGameOptions(optionsFile, savedDisplayOptions(options, command));
  Json message = Json::object();
  message.set("type", "settingsSaved");
  message.set("ok", ok);
  postToPage(host, message);
}

}  // namespace tu
