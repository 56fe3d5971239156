// Addresses that leave the launcher for the player's default browser. Only "http://" and
// "https://" (exact, case-sensitive) ever open; everything else (file:, mailto:, javascript:,
// "HTTPS://", "") is dropped, so a page can never make the launcher start a program.
#pragma once

#include <string>
#include <string_view>

#include "ui/host.h"

namespace tu {

bool isExternalUrl(std::string_view url);

// Main thread. Opens the address through the host when isExternalUrl; returns whether it did.
bool openExternalUrl(Host& host, const std::string& url);

}  // namespace tu
