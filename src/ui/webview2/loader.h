// The launcher's own replacement for the WebView2 SDK's loader entry point. Windows builds only.
#pragma once

#include <windows.h>

#include "ui/webview2/webview2.h"

namespace tu {

// Starts creating a web view environment, as the SDK's function of the same name does:
// `browserExecutableFolder` null or empty means the installed (Evergreen) runtime, found in the
// registry (runtime_search.h); otherwise a fixed-version runtime folder (relative to the
// executable's folder when not absolute). `userDataFolder` and `environmentOptions` (may be
// null) go to the runtime unchanged. On S_OK the handler's Invoke runs later on this thread,
// from its message loop. Returns HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when no runtime is
// installed, E_POINTER for a null handler, HRESULT_FROM_WIN32 of the system's error when the
// runtime DLL or its export cannot be loaded, and otherwise what the runtime returns.
// The runtime DLL stays loaded for the rest of the process.
HRESULT CreateCoreWebView2EnvironmentWithOptions(
    LPCWSTR browserExecutableFolder, LPCWSTR userDataFolder, Wv2Object* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler);

}  // namespace tu
