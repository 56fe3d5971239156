// The local path a "file:" address names, for deciding whether the web view may go there.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tu {

// The Windows path (UTF-8, backslashes) of a "file:" URL: "file:///C:/a%20b/x.html" gives
// "C:\a b\x.html", "file://server/share/x" gives "\\server\share\x" ("localhost" is no
// server). Escapes are decoded as UTF-8 bytes; a query or fragment is dropped. Nothing for any
// other scheme, a malformed escape or an escaped NUL. ".." parts are kept: resolving them is
// the caller's job, with the rest of the path.
std::optional<std::string> windowsPathOfFileUrl(std::string_view url);

}  // namespace tu
