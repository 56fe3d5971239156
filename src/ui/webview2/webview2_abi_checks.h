// Compile-time checks of the hand-written WebView2 declarations against the published tables:
// for every slot, its index in the vtable and, in the 32-bit build, the bytes the callee pops
// (the stdcall argument size, `This` included). The byte count can only be computed for a
// __stdcall function pointer, so a slot declared without STDMETHODCALLTYPE fails to compile
// in the 32-bit build; a RECT, token or double passed by pointer instead of by value gives the
// wrong count. Included at the end of webview2.h.
#pragma once

#include <cstddef>
#include <type_traits>

namespace tu::wv2abi {

// The argument bytes a 32-bit stdcall callee removes: every argument rounded up to 4 bytes.
template <class R, class... A>
constexpr std::size_t stdcallArgBytes(R(STDMETHODCALLTYPE*)(A...)) {
  return (std::size_t{0} + ... + ((sizeof(A) + 3) / 4 * 4));
}

constexpr bool is32Bit = sizeof(void*) == 4;

}  // namespace tu::wv2abi

// Slot `index` of `Vtbl` is `Method`, whose 32-bit callee pops `bytes` bytes.
#define TU_WV2_SLOT(Vtbl, Method, index, bytes)                                           \
  static_assert(offsetof(tu::Vtbl, Method) == (index) * sizeof(void*),                    \
                #Vtbl "::" #Method " is not in slot " #index);                            \
  static_assert(!tu::wv2abi::is32Bit ||                                                   \
                    tu::wv2abi::stdcallArgBytes(decltype(tu::Vtbl::Method){}) == (bytes), \
                #Vtbl "::" #Method " does not take " #bytes " argument bytes")

#define TU_WV2_UNKNOWN(Vtbl)                \
  TU_WV2_SLOT(Vtbl, QueryInterface, 0, 12); \
  TU_WV2_SLOT(Vtbl, AddRef, 1, 4);          \
  TU_WV2_SLOT(Vtbl, Release, 2, 4)

// Sizes the layouts above rely on.
static_assert(sizeof(tu::EventRegistrationToken) == 8 && alignof(tu::EventRegistrationToken) == 8);
static_assert(sizeof(BOOL) == 4 && sizeof(RECT) == 16 && sizeof(GUID) == 16);
static_assert(sizeof(UINT32) == 4 && sizeof(UINT64) == 8 && sizeof(HRESULT) == 4);

TU_WV2_UNKNOWN(Wv2UnknownVtbl);
static_assert(sizeof(tu::Wv2UnknownVtbl) == 3 * sizeof(void*));

TU_WV2_UNKNOWN(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl);
TU_WV2_SLOT(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl, Invoke, 3, 12);
static_assert(sizeof(tu::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl) ==
              4 * sizeof(void*));

TU_WV2_UNKNOWN(ICoreWebView2EnvironmentVtbl);
TU_WV2_SLOT(ICoreWebView2EnvironmentVtbl, CreateCoreWebView2Controller, 3, 12);
TU_WV2_SLOT(ICoreWebView2EnvironmentVtbl, CreateWebResourceResponse, 4, 24);
TU_WV2_SLOT(ICoreWebView2EnvironmentVtbl, get_BrowserVersionString, 5, 8);
TU_WV2_SLOT(ICoreWebView2EnvironmentVtbl, add_NewBrowserVersionAvailable, 6, 12);
TU_WV2_SLOT(ICoreWebView2EnvironmentVtbl, remove_NewBrowserVersionAvailable, 7, 12);
static_assert(sizeof(tu::ICoreWebView2EnvironmentVtbl) == 8 * sizeof(void*));

TU_WV2_UNKNOWN(ICoreWebView2CreateCoreWebView2ControllerCompletedHandlerVtbl);
TU_WV2_SLOT(ICoreWebView2CreateCoreWebView2ControllerCompletedHandlerVtbl, Invoke, 3, 12);
static_assert(sizeof(tu::ICoreWebView2CreateCoreWebView2ControllerCompletedHandlerVtbl) ==
              4 * sizeof(void*));

TU_WV2_UNKNOWN(ICoreWebView2ControllerVtbl);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, get_IsVisible, 3, 8);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, put_IsVisible, 4, 8);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, get_Bounds, 5, 8);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, put_Bounds, 6, 20);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, get_ZoomFactor, 7, 8);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, put_ZoomFactor, 8, 12);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, add_ZoomFactorChanged, 9, 12);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, remove_ZoomFactorChanged, 10, 12);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, SetBoundsAndZoomFactor, 11, 28);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, MoveFocus, 12, 8);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, add_MoveFocusRequested, 13, 12);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, remove_MoveFocusRequested, 14, 12);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, add_GotFocus, 15, 12);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, remove_GotFocus, 16, 12);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, add_LostFocus, 17, 12);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, remove_LostFocus, 18, 12);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, add_AcceleratorKeyPressed, 19, 12);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, remove_AcceleratorKeyPressed, 20, 12);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, get_ParentWindow, 21, 8);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, put_ParentWindow, 22, 8);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, NotifyParentWindowPositionChanged, 23, 4);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, Close, 24, 4);
TU_WV2_SLOT(ICoreWebView2ControllerVtbl, get_CoreWebView2, 25, 8);
static_assert(sizeof(tu::ICoreWebView2ControllerVtbl) == 26 * sizeof(void*));
// The bounds travel as the whole RECT by value, never as its address.
static_assert(std::is_same_v<decltype(tu::ICoreWebView2ControllerVtbl::put_Bounds),
                             HRESULT(STDMETHODCALLTYPE*)(tu::ICoreWebView2Controller*, RECT)>);

// The later controller versions continue the base vtable without a gap (a skipped version would
// turn put_AllowExternalDrop into put_DefaultBackgroundColor).
TU_WV2_UNKNOWN(ICoreWebView2Controller4Vtbl);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, put_Bounds, 6, 20);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, get_CoreWebView2, 25, 8);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, get_DefaultBackgroundColor, 26, 8);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, put_DefaultBackgroundColor, 27, 8);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, get_RasterizationScale, 28, 8);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, put_RasterizationScale, 29, 12);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, get_ShouldDetectMonitorScaleChanges, 30, 8);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, put_ShouldDetectMonitorScaleChanges, 31, 8);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, add_RasterizationScaleChanged, 32, 12);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, remove_RasterizationScaleChanged, 33, 12);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, get_BoundsMode, 34, 8);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, put_BoundsMode, 35, 8);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, get_AllowExternalDrop, 36, 8);
TU_WV2_SLOT(ICoreWebView2Controller4Vtbl, put_AllowExternalDrop, 37, 8);
static_assert(sizeof(tu::ICoreWebView2Controller4Vtbl) == 38 * sizeof(void*));
static_assert(sizeof(tu::Wv2Color) == 4);

TU_WV2_UNKNOWN(ICoreWebView2Vtbl);
TU_WV2_SLOT(ICoreWebView2Vtbl, get_Settings, 3, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, get_Source, 4, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, Navigate, 5, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, NavigateToString, 6, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_NavigationStarting, 7, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_NavigationStarting, 8, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_ContentLoading, 9, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_ContentLoading, 10, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_SourceChanged, 11, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_SourceChanged, 12, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_HistoryChanged, 13, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_HistoryChanged, 14, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_NavigationCompleted, 15, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_NavigationCompleted, 16, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_FrameNavigationStarting, 17, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_FrameNavigationStarting, 18, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_FrameNavigationCompleted, 19, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_FrameNavigationCompleted, 20, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_ScriptDialogOpening, 21, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_ScriptDialogOpening, 22, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_PermissionRequested, 23, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_PermissionRequested, 24, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_ProcessFailed, 25, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_ProcessFailed, 26, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, AddScriptToExecuteOnDocumentCreated, 27, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, RemoveScriptToExecuteOnDocumentCreated, 28, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, ExecuteScript, 29, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, CapturePreview, 30, 16);
TU_WV2_SLOT(ICoreWebView2Vtbl, Reload, 31, 4);
TU_WV2_SLOT(ICoreWebView2Vtbl, PostWebMessageAsJson, 32, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, PostWebMessageAsString, 33, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_WebMessageReceived, 34, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_WebMessageReceived, 35, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, CallDevToolsProtocolMethod, 36, 16);
TU_WV2_SLOT(ICoreWebView2Vtbl, get_BrowserProcessId, 37, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, get_CanGoBack, 38, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, get_CanGoForward, 39, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, GoBack, 40, 4);
TU_WV2_SLOT(ICoreWebView2Vtbl, GoForward, 41, 4);
TU_WV2_SLOT(ICoreWebView2Vtbl, GetDevToolsProtocolEventReceiver, 42, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, Stop, 43, 4);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_NewWindowRequested, 44, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_NewWindowRequested, 45, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_DocumentTitleChanged, 46, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_DocumentTitleChanged, 47, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, get_DocumentTitle, 48, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, AddHostObjectToScript, 49, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, RemoveHostObjectFromScript, 50, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, OpenDevToolsWindow, 51, 4);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_ContainsFullScreenElementChanged, 52, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_ContainsFullScreenElementChanged, 53, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, get_ContainsFullScreenElement, 54, 8);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_WebResourceRequested, 55, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_WebResourceRequested, 56, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, AddWebResourceRequestedFilter, 57, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, RemoveWebResourceRequestedFilter, 58, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, add_WindowCloseRequested, 59, 12);
TU_WV2_SLOT(ICoreWebView2Vtbl, remove_WindowCloseRequested, 60, 12);
static_assert(sizeof(tu::ICoreWebView2Vtbl) == 61 * sizeof(void*));
static_assert(std::is_same_v<decltype(tu::ICoreWebView2Vtbl::PostWebMessageAsJson),
                             HRESULT(STDMETHODCALLTYPE*)(tu::ICoreWebView2*, LPCWSTR)>);

TU_WV2_UNKNOWN(ICoreWebView2SettingsVtbl);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, get_IsScriptEnabled, 3, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, put_IsScriptEnabled, 4, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, get_IsWebMessageEnabled, 5, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, put_IsWebMessageEnabled, 6, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, get_AreDefaultScriptDialogsEnabled, 7, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, put_AreDefaultScriptDialogsEnabled, 8, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, get_IsStatusBarEnabled, 9, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, put_IsStatusBarEnabled, 10, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, get_AreDevToolsEnabled, 11, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, put_AreDevToolsEnabled, 12, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, get_AreDefaultContextMenusEnabled, 13, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, put_AreDefaultContextMenusEnabled, 14, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, get_AreHostObjectsAllowed, 15, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, put_AreHostObjectsAllowed, 16, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, get_IsZoomControlEnabled, 17, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, put_IsZoomControlEnabled, 18, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, get_IsBuiltInErrorPageEnabled, 19, 8);
TU_WV2_SLOT(ICoreWebView2SettingsVtbl, put_IsBuiltInErrorPageEnabled, 20, 8);
static_assert(sizeof(tu::ICoreWebView2SettingsVtbl) == 21 * sizeof(void*));
// Settings3's two slots come after Settings2's user agent, not right after the base ones.
TU_WV2_UNKNOWN(ICoreWebView2Settings3Vtbl);
TU_WV2_SLOT(ICoreWebView2Settings3Vtbl, put_IsBuiltInErrorPageEnabled, 20, 8);
TU_WV2_SLOT(ICoreWebView2Settings3Vtbl, get_UserAgent, 21, 8);
TU_WV2_SLOT(ICoreWebView2Settings3Vtbl, put_UserAgent, 22, 8);
TU_WV2_SLOT(ICoreWebView2Settings3Vtbl, get_AreBrowserAcceleratorKeysEnabled, 23, 8);
TU_WV2_SLOT(ICoreWebView2Settings3Vtbl, put_AreBrowserAcceleratorKeysEnabled, 24, 8);
static_assert(sizeof(tu::ICoreWebView2Settings3Vtbl) == 25 * sizeof(void*));
// Switches are 4-byte BOOLs; a C++ bool would let the runtime write past it.
static_assert(std::is_same_v<decltype(tu::ICoreWebView2SettingsVtbl::put_AreDevToolsEnabled),
                             HRESULT(STDMETHODCALLTYPE*)(tu::ICoreWebView2Settings*, BOOL)>);

TU_WV2_UNKNOWN(ICoreWebView2WebMessageReceivedEventHandlerVtbl);
TU_WV2_SLOT(ICoreWebView2WebMessageReceivedEventHandlerVtbl, Invoke, 3, 12);
static_assert(sizeof(tu::ICoreWebView2WebMessageReceivedEventHandlerVtbl) == 4 * sizeof(void*));

TU_WV2_UNKNOWN(ICoreWebView2WebMessageReceivedEventArgsVtbl);
TU_WV2_SLOT(ICoreWebView2WebMessageReceivedEventArgsVtbl, get_Source, 3, 8);
TU_WV2_SLOT(ICoreWebView2WebMessageReceivedEventArgsVtbl, get_WebMessageAsJson, 4, 8);
TU_WV2_SLOT(ICoreWebView2WebMessageReceivedEventArgsVtbl, TryGetWebMessageAsString, 5, 8);
static_assert(sizeof(tu::ICoreWebView2WebMessageReceivedEventArgsVtbl) == 6 * sizeof(void*));

TU_WV2_UNKNOWN(ICoreWebView2NewWindowRequestedEventHandlerVtbl);
TU_WV2_SLOT(ICoreWebView2NewWindowRequestedEventHandlerVtbl, Invoke, 3, 12);
static_assert(sizeof(tu::ICoreWebView2NewWindowRequestedEventHandlerVtbl) == 4 * sizeof(void*));

TU_WV2_UNKNOWN(ICoreWebView2NewWindowRequestedEventArgsVtbl);
TU_WV2_SLOT(ICoreWebView2NewWindowRequestedEventArgsVtbl, get_Uri, 3, 8);
TU_WV2_SLOT(ICoreWebView2NewWindowRequestedEventArgsVtbl, put_NewWindow, 4, 8);
TU_WV2_SLOT(ICoreWebView2NewWindowRequestedEventArgsVtbl, get_NewWindow, 5, 8);
TU_WV2_SLOT(ICoreWebView2NewWindowRequestedEventArgsVtbl, put_Handled, 6, 8);
TU_WV2_SLOT(ICoreWebView2NewWindowRequestedEventArgsVtbl, get_Handled, 7, 8);
TU_WV2_SLOT(ICoreWebView2NewWindowRequestedEventArgsVtbl, get_IsUserInitiated, 8, 8);
TU_WV2_SLOT(ICoreWebView2NewWindowRequestedEventArgsVtbl, GetDeferral, 9, 8);
TU_WV2_SLOT(ICoreWebView2NewWindowRequestedEventArgsVtbl, get_WindowFeatures, 10, 8);
static_assert(sizeof(tu::ICoreWebView2NewWindowRequestedEventArgsVtbl) == 11 * sizeof(void*));

TU_WV2_UNKNOWN(ICoreWebView2NavigationStartingEventHandlerVtbl);
TU_WV2_SLOT(ICoreWebView2NavigationStartingEventHandlerVtbl, Invoke, 3, 12);
static_assert(sizeof(tu::ICoreWebView2NavigationStartingEventHandlerVtbl) == 4 * sizeof(void*));

TU_WV2_UNKNOWN(ICoreWebView2NavigationStartingEventArgsVtbl);
TU_WV2_SLOT(ICoreWebView2NavigationStartingEventArgsVtbl, get_Uri, 3, 8);
TU_WV2_SLOT(ICoreWebView2NavigationStartingEventArgsVtbl, get_IsUserInitiated, 4, 8);
TU_WV2_SLOT(ICoreWebView2NavigationStartingEventArgsVtbl, get_IsRedirected, 5, 8);
TU_WV2_SLOT(ICoreWebView2NavigationStartingEventArgsVtbl, get_RequestHeaders, 6, 8);
TU_WV2_SLOT(ICoreWebView2NavigationStartingEventArgsVtbl, get_Cancel, 7, 8);
TU_WV2_SLOT(ICoreWebView2NavigationStartingEventArgsVtbl, put_Cancel, 8, 8);
TU_WV2_SLOT(ICoreWebView2NavigationStartingEventArgsVtbl, get_NavigationId, 9, 8);
static_assert(sizeof(tu::ICoreWebView2NavigationStartingEventArgsVtbl) == 10 * sizeof(void*));

TU_WV2_UNKNOWN(ICoreWebView2ProcessFailedEventHandlerVtbl);
TU_WV2_SLOT(ICoreWebView2ProcessFailedEventHandlerVtbl, Invoke, 3, 12);
static_assert(sizeof(tu::ICoreWebView2ProcessFailedEventHandlerVtbl) == 4 * sizeof(void*));

TU_WV2_UNKNOWN(ICoreWebView2ProcessFailedEventArgsVtbl);
TU_WV2_SLOT(ICoreWebView2ProcessFailedEventArgsVtbl, get_ProcessFailedKind, 3, 8);
static_assert(sizeof(tu::ICoreWebView2ProcessFailedEventArgsVtbl) == 4 * sizeof(void*));

// The runtime's export: five 4-byte arguments on x86, popped by the callee.
static_assert(!tu::wv2abi::is32Bit ||
              tu::wv2abi::stdcallArgBytes(tu::CreateWebViewEnvironmentWithOptionsInternalFn{}) ==
                  20);

// Every interface struct is only its vtable pointer, so an object's address is its interface.
static_assert(sizeof(tu::ICoreWebView2) == sizeof(void*) &&
              std::is_standard_layout_v<tu::ICoreWebView2>);

#undef TU_WV2_UNKNOWN
#undef TU_WV2_SLOT
