// How the end-to-end tests talk to the fake WebView2 runtime loaded inside TarnLauncher.exe.
//
// Recording: the fake appends one UTF-8 line per event to kLogName in its runtime version
// folder (the folder the registry's "EBWebView" value names), "<pid> <event> <text>":
//   commandline <text>                     the launcher's command line, when it loads the fake
//   environment <flag> <kind> <user data folder>   the creation export was called
//   setting <name> <0|1>                   a put_ of the settings (Settings3 included) or the
//                                          controller's AllowExternalDrop
//   bounds <left> <top> <right> <bottom>   put_Bounds
//   navigate <url>                         Navigate
//   navigation <allowed|cancelled> <url>   after the NavigationStarting handlers ran
//   newwindow <handled|unhandled> <url>    after the NewWindowRequested handlers ran
//   post <json>                            PostWebMessageAsJson
//   close [inside-handler]                 the controller's Close (inside-handler: while one of
//                                          the launcher's handlers was running, which the
//                                          runtime does not allow)
//   reload                                 the view's Reload
//   moved                                  NotifyParentWindowPositionChanged
//   sync <text>                            the marker of a kSync command came through the queue
//   released <what> <count>                the count a handler's Release returned when the
//                                          fake let go of it (0: nothing else holds it)
//
// Behaviour: words in kSettingsName beside the log, read when the fake loads:
//   failing-controller                     controller creation fails with E_ACCESSDENIED
//
// Playing: the test sends WM_COPYDATA to the fake's message-only window (class kWindowClass,
// title kWindowTitlePrefix + the launcher's process id). dwData is a Command, the data the
// UTF-16 text without terminator. The fake runs it on the launcher's main thread before
// SendMessage returns, and answers 1 when a view existed to play it on, else 0.
#pragma once

namespace tu::fake {

enum Command : unsigned long {
  kWebMessage = 1,  // the page posts a string: WebMessageReceived with that string
  kNavigation = 2,  // the page navigates: NavigationStarting with that address
  kNewWindow = 3,   // the page asks for a window: NewWindowRequested with that address
  // Posts a marker to the launcher's own message queue; once it is recorded as "sync <text>",
  // every message posted on the main thread before it has been handled.
  kSync = 4,
  // One of the runtime's processes died: ProcessFailed with the kind in decimal (0: the
  // browser process, which also closes the view; 1: the page's renderer).
  kProcessFailed = 5,
  // The window moved to a monitor of another scale: WM_DPICHANGED with
  // "<dpi> <left> <top> <right> <bottom>", sent to the view's parent window.
  kDpiChange = 7,
};

inline constexpr wchar_t kWindowClass[] = L"TarnFakeWebView2";
inline constexpr wchar_t kWindowTitlePrefix[] = L"fake-webview2-";
inline constexpr wchar_t kLogName[] = L"fake-webview2.log";
inline constexpr wchar_t kSettingsName[] = L"fake-webview2.settings";

}  // namespace tu::fake
