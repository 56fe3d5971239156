// The WebView2 COM interfaces the launcher uses, declared by hand as C-style vtables (no SDK
// header exists for this build). Windows builds only.
//
// Every interface is a struct whose only member points at its vtable; every vtable slot is a
// __stdcall (STDMETHODCALLTYPE) function pointer taking the interface itself first. Unused
// slots are declared too, so that each used slot sits at its published index. The checks at
// the end of this file pin, at compile time, every slot's index and, in the 32-bit build, the
// number of argument bytes its callee pops: a missing slot, a missing __stdcall or a RECT
// declared as a pointer fails the build instead of corrupting the stack at run time (the
// 64-bit build cannot notice the last two).
//
// Ownership follows COM: out-interfaces arrive with a reference the caller releases; out-strings
// (LPWSTR*) are CoTaskMemAlloc'd and the caller frees them with CoTaskMemFree; interfaces passed
// into a handler's Invoke are borrowed for the call. All objects belong to the thread that
// created the environment (a single-threaded apartment).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace tu {

// add_* writes one; remove_* takes it by value (8 bytes, aligned 8).
struct EventRegistrationToken {
  std::int64_t value;
};

// Interface pointers of slots the launcher never calls are typed as IUnknown-derived objects
// without naming them: only their size matters for the layout.
struct Wv2Object;

struct ICoreWebView2Environment;
struct ICoreWebView2Controller;
struct ICoreWebView2;
struct ICoreWebView2Settings;
struct ICoreWebView2WebMessageReceivedEventArgs;
struct ICoreWebView2NewWindowRequestedEventArgs;
struct ICoreWebView2NavigationStartingEventArgs;
struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler;
struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandler;
struct ICoreWebView2WebMessageReceivedEventHandler;
struct ICoreWebView2NewWindowRequestedEventHandler;
struct ICoreWebView2NavigationStartingEventHandler;
struct ICoreWebView2ProcessFailedEventHandler;
struct ICoreWebView2ProcessFailedEventArgs;

#define TU_WV2_UNKNOWN_SLOTS(Interface)                                                       \
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(Interface * This, const GUID* riid, void** out); \
  ULONG(STDMETHODCALLTYPE* AddRef)(Interface * This);                                         \
  ULONG(STDMETHODCALLTYPE* Release)(Interface * This)

// One interface: its IID and its vtable pointer. `Vtbl` is declared below.
#define TU_WV2_INTERFACE(Interface, d1, d2, d3, b0, b1, b2, b3, b4, b5, b6, b7) \
  struct Interface##Vtbl;                                                       \
  struct Interface {                                                            \
    static constexpr GUID iid = {d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}}; \
    const Interface##Vtbl* lpVtbl;                                              \
  }

// Any interface as IUnknown (slots 0 to 2 only).
TU_WV2_INTERFACE(Wv2Unknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                 0x46);
struct Wv2UnknownVtbl {
  TU_WV2_UNKNOWN_SLOTS(Wv2Unknown);
};

TU_WV2_INTERFACE(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, 0x4E8A3389, 0xC9D8,
                 0x4BD2, 0xB6, 0xB5, 0x12, 0x4F, 0xEE, 0x6C, 0xC1, 0x4D);
struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl {
  TU_WV2_UNKNOWN_SLOTS(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* This, HRESULT errorCode,
   ICoreWebView2Environment* createdEnvironment);
};

TU_WV2_INTERFACE(ICoreWebView2Environment, 0xB96D755E, 0x0319, 0x4E92, 0xA2, 0x96, 0x23, 0x43, 0x6F,
                 0x46, 0xA1, 0xFC);
struct ICoreWebView2EnvironmentVtbl {
  TU_WV2_UNKNOWN_SLOTS(ICoreWebView2Environment);
  HRESULT(STDMETHODCALLTYPE* CreateCoreWebView2Controller)
  (ICoreWebView2Environment* This, HWND parentWindow,
   ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler);
  HRESULT(STDMETHODCALLTYPE* CreateWebResourceResponse)
  (ICoreWebView2Environment* This, Wv2Object* content, int statusCode, LPCWSTR reasonPhrase,
   LPCWSTR headers, Wv2Object** response);
  HRESULT(STDMETHODCALLTYPE* get_BrowserVersionString)
  (ICoreWebView2Environment* This, LPWSTR* versionInfo);
  HRESULT(STDMETHODCALLTYPE* add_NewBrowserVersionAvailable)
  (ICoreWebView2Environment* This, Wv2Object* eventHandler, EventRegistrationToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_NewBrowserVersionAvailable)
  (ICoreWebView2Environment* This, EventRegistrationToken token);
};

TU_WV2_INTERFACE(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, 0x6C4819F3, 0xC9B7,
                 0x4260, 0x81, 0x27, 0xC9, 0xF5, 0xBD, 0xE7, 0xF6, 0x8C);
struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandlerVtbl {
  TU_WV2_UNKNOWN_SLOTS(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* This, HRESULT errorCode,
   ICoreWebView2Controller* createdController);
};

TU_WV2_INTERFACE(ICoreWebView2Controller, 0x4D00C0D1, 0x9434, 0x4EB6, 0x80, 0x78, 0x86, 0x97, 0xA5,
                 0x60, 0x33, 0x4F);
// The base controller's 26 slots, shared with its later versions.
#define TU_WV2_CONTROLLER_SLOTS(Interface)                                             \
  TU_WV2_UNKNOWN_SLOTS(Interface);                                                     \
  HRESULT(STDMETHODCALLTYPE* get_IsVisible)(Interface * This, BOOL * isVisible);       \
  HRESULT(STDMETHODCALLTYPE* put_IsVisible)(Interface * This, BOOL isVisible);         \
  HRESULT(STDMETHODCALLTYPE* get_Bounds)(Interface * This, RECT * bounds);             \
  HRESULT(STDMETHODCALLTYPE* put_Bounds)(Interface * This, RECT bounds);               \
  HRESULT(STDMETHODCALLTYPE* get_ZoomFactor)(Interface * This, double* zoomFactor);    \
  HRESULT(STDMETHODCALLTYPE* put_ZoomFactor)(Interface * This, double zoomFactor);     \
  HRESULT(STDMETHODCALLTYPE* add_ZoomFactorChanged)                                    \
  (Interface * This, Wv2Object * eventHandler, EventRegistrationToken * token);        \
  HRESULT(STDMETHODCALLTYPE* remove_ZoomFactorChanged)                                 \
  (Interface * This, EventRegistrationToken token);                                    \
  HRESULT(STDMETHODCALLTYPE* SetBoundsAndZoomFactor)                                   \
  (Interface * This, RECT bounds, double zoomFactor);                                  \
  HRESULT(STDMETHODCALLTYPE* MoveFocus)(Interface * This, std::int32_t reason);        \
  HRESULT(STDMETHODCALLTYPE* add_MoveFocusRequested)                                   \
  (Interface * This, Wv2Object * eventHandler, EventRegistrationToken * token);        \
  HRESULT(STDMETHODCALLTYPE* remove_MoveFocusRequested)                                \
  (Interface * This, EventRegistrationToken token);                                    \
  HRESULT(STDMETHODCALLTYPE* add_GotFocus)                                             \
  (Interface * This, Wv2Object * eventHandler, EventRegistrationToken * token);        \
  HRESULT(STDMETHODCALLTYPE* remove_GotFocus)                                          \
  (Interface * This, EventRegistrationToken token);                                    \
  HRESULT(STDMETHODCALLTYPE* add_LostFocus)                                            \
  (Interface * This, Wv2Object * eventHandler, EventRegistrationToken * token);        \
  HRESULT(STDMETHODCALLTYPE* remove_LostFocus)                                         \
  (Interface * This, EventRegistrationToken token);                                    \
  HRESULT(STDMETHODCALLTYPE* add_AcceleratorKeyPressed)                                \
  (Interface * This, Wv2Object * eventHandler, EventRegistrationToken * token);        \
  HRESULT(STDMETHODCALLTYPE* remove_AcceleratorKeyPressed)                             \
  (Interface * This, EventRegistrationToken token);                                    \
  HRESULT(STDMETHODCALLTYPE* get_ParentWindow)(Interface * This, HWND * parentWindow); \
  HRESULT(STDMETHODCALLTYPE* put_ParentWindow)(Interface * This, HWND parentWindow);   \
  HRESULT(STDMETHODCALLTYPE* NotifyParentWindowPositionChanged)(Interface * This);     \
  HRESULT(STDMETHODCALLTYPE* Close)(Interface * This);                                 \
  HRESULT(STDMETHODCALLTYPE* get_CoreWebView2)                                         \
  (Interface * This, ICoreWebView2 * *coreWebView2)
struct ICoreWebView2ControllerVtbl {
  TU_WV2_CONTROLLER_SLOTS(ICoreWebView2Controller);
};

// The controller as of its fourth version: each version repeats the whole vtable before it
// (slots 0 to 25 are ICoreWebView2Controller's, 26 and 27 Controller2's, 28 to 35
// Controller3's). Only a runtime that answers QueryInterface for Controller4 has slot 37.
// COREWEBVIEW2_COLOR: four bytes in the order alpha, red, green, blue, passed by value.
struct Wv2Color {
  BYTE a, r, g, b;
};
TU_WV2_INTERFACE(ICoreWebView2Controller4, 0x97D418D5, 0xA426, 0x4E49, 0xA1, 0x51, 0xE1, 0xA1, 0x0F,
                 0x32, 0x7D, 0x9E);
struct ICoreWebView2Controller4Vtbl {
  TU_WV2_CONTROLLER_SLOTS(ICoreWebView2Controller4);
  // ICoreWebView2Controller2
  HRESULT(STDMETHODCALLTYPE* get_DefaultBackgroundColor)
  (ICoreWebView2Controller4* This, Wv2Color* backgroundColor);
  HRESULT(STDMETHODCALLTYPE* put_DefaultBackgroundColor)
  (ICoreWebView2Controller4* This, Wv2Color backgroundColor);
  // ICoreWebView2Controller3
  HRESULT(STDMETHODCALLTYPE* get_RasterizationScale)(ICoreWebView2Controller4* This, double* scale);
  HRESULT(STDMETHODCALLTYPE* put_RasterizationScale)(ICoreWebView2Controller4* This, double scale);
  HRESULT(STDMETHODCALLTYPE* get_ShouldDetectMonitorScaleChanges)
  (ICoreWebView2Controller4* This, BOOL* value);
  HRESULT(STDMETHODCALLTYPE* put_ShouldDetectMonitorScaleChanges)
  (ICoreWebView2Controller4* This, BOOL value);
  HRESULT(STDMETHODCALLTYPE* add_RasterizationScaleChanged)
  (ICoreWebView2Controller4* This, Wv2Object* eventHandler, EventRegistrationToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_RasterizationScaleChanged)
  (ICoreWebView2Controller4* This, EventRegistrationToken token);
  HRESULT(STDMETHODCALLTYPE* get_BoundsMode)(ICoreWebView2Controller4* This, std::int32_t* mode);
  HRESULT(STDMETHODCALLTYPE* put_BoundsMode)(ICoreWebView2Controller4* This, std::int32_t mode);
  // ICoreWebView2Controller4
  HRESULT(STDMETHODCALLTYPE* get_AllowExternalDrop)(ICoreWebView2Controller4* This, BOOL* value);
  HRESULT(STDMETHODCALLTYPE* put_AllowExternalDrop)(ICoreWebView2Controller4* This, BOOL value);
};

TU_WV2_INTERFACE(ICoreWebView2, 0x76ECEACB, 0x0462, 0x4D94, 0xAC, 0x83, 0x42, 0x3A, 0x67, 0x93,
                 0x77, 0x5E);
// The event registrations of ICoreWebView2 all share one shape.
#define TU_WV2_EVENT_SLOTS(Name, HandlerType)                                         \
  HRESULT(STDMETHODCALLTYPE* add_##Name)                                              \
  (ICoreWebView2 * This, HandlerType * eventHandler, EventRegistrationToken * token); \
  HRESULT(STDMETHODCALLTYPE* remove_##Name)(ICoreWebView2 * This, EventRegistrationToken token)
struct ICoreWebView2Vtbl {
  TU_WV2_UNKNOWN_SLOTS(ICoreWebView2);
  HRESULT(STDMETHODCALLTYPE* get_Settings)(ICoreWebView2* This, ICoreWebView2Settings** settings);
  HRESULT(STDMETHODCALLTYPE* get_Source)(ICoreWebView2* This, LPWSTR* uri);
  HRESULT(STDMETHODCALLTYPE* Navigate)(ICoreWebView2* This, LPCWSTR uri);
  HRESULT(STDMETHODCALLTYPE* NavigateToString)(ICoreWebView2* This, LPCWSTR htmlContent);
  TU_WV2_EVENT_SLOTS(NavigationStarting, ICoreWebView2NavigationStartingEventHandler);
  TU_WV2_EVENT_SLOTS(ContentLoading, Wv2Object);
  TU_WV2_EVENT_SLOTS(SourceChanged, Wv2Object);
  TU_WV2_EVENT_SLOTS(HistoryChanged, Wv2Object);
  TU_WV2_EVENT_SLOTS(NavigationCompleted, Wv2Object);
  TU_WV2_EVENT_SLOTS(FrameNavigationStarting, ICoreWebView2NavigationStartingEventHandler);
  TU_WV2_EVENT_SLOTS(FrameNavigationCompleted, Wv2Object);
  TU_WV2_EVENT_SLOTS(ScriptDialogOpening, Wv2Object);
  TU_WV2_EVENT_SLOTS(PermissionRequested, Wv2Object);
  TU_WV2_EVENT_SLOTS(ProcessFailed, ICoreWebView2ProcessFailedEventHandler);
  HRESULT(STDMETHODCALLTYPE* AddScriptToExecuteOnDocumentCreated)
  (ICoreWebView2* This, LPCWSTR javaScript, Wv2Object* handler);
  HRESULT(STDMETHODCALLTYPE* RemoveScriptToExecuteOnDocumentCreated)
  (ICoreWebView2* This, LPCWSTR id);
  HRESULT(STDMETHODCALLTYPE* ExecuteScript)
  (ICoreWebView2* This, LPCWSTR javaScript, Wv2Object* handler);
  HRESULT(STDMETHODCALLTYPE* CapturePreview)
  (ICoreWebView2* This, std::int32_t imageFormat, Wv2Object* imageStream, Wv2Object* handler);
  HRESULT(STDMETHODCALLTYPE* Reload)(ICoreWebView2* This);
  HRESULT(STDMETHODCALLTYPE* PostWebMessageAsJson)(ICoreWebView2* This, LPCWSTR webMessageAsJson);
  HRESULT(STDMETHODCALLTYPE* PostWebMessageAsString)
  (ICoreWebView2* This, LPCWSTR webMessageAsString);
  TU_WV2_EVENT_SLOTS(WebMessageReceived, ICoreWebView2WebMessageReceivedEventHandler);
  HRESULT(STDMETHODCALLTYPE* CallDevToolsProtocolMethod)
  (ICoreWebView2* This, LPCWSTR methodName, LPCWSTR parametersAsJson, Wv2Object* handler);
  HRESULT(STDMETHODCALLTYPE* get_BrowserProcessId)(ICoreWebView2* This, UINT32* value);
  HRESULT(STDMETHODCALLTYPE* get_CanGoBack)(ICoreWebView2* This, BOOL* canGoBack);
  HRESULT(STDMETHODCALLTYPE* get_CanGoForward)(ICoreWebView2* This, BOOL* canGoForward);
  HRESULT(STDMETHODCALLTYPE* GoBack)(ICoreWebView2* This);
  HRESULT(STDMETHODCALLTYPE* GoForward)(ICoreWebView2* This);
  HRESULT(STDMETHODCALLTYPE* GetDevToolsProtocolEventReceiver)
  (ICoreWebView2* This, LPCWSTR eventName, Wv2Object** receiver);
  HRESULT(STDMETHODCALLTYPE* Stop)(ICoreWebView2* This);
  TU_WV2_EVENT_SLOTS(NewWindowRequested, ICoreWebView2NewWindowRequestedEventHandler);
  TU_WV2_EVENT_SLOTS(DocumentTitleChanged, Wv2Object);
  HRESULT(STDMETHODCALLTYPE* get_DocumentTitle)(ICoreWebView2* This, LPWSTR* title);
  HRESULT(STDMETHODCALLTYPE* AddHostObjectToScript)
  (ICoreWebView2* This, LPCWSTR name, void* object);
  HRESULT(STDMETHODCALLTYPE* RemoveHostObjectFromScript)(ICoreWebView2* This, LPCWSTR name);
  HRESULT(STDMETHODCALLTYPE* OpenDevToolsWindow)(ICoreWebView2* This);
  TU_WV2_EVENT_SLOTS(ContainsFullScreenElementChanged, Wv2Object);
  HRESULT(STDMETHODCALLTYPE* get_ContainsFullScreenElement)
  (ICoreWebView2* This, BOOL* containsFullScreenElement);
  TU_WV2_EVENT_SLOTS(WebResourceRequested, Wv2Object);
  HRESULT(STDMETHODCALLTYPE* AddWebResourceRequestedFilter)
  (ICoreWebView2* This, LPCWSTR uri, std::int32_t resourceContext);
  HRESULT(STDMETHODCALLTYPE* RemoveWebResourceRequestedFilter)
  (ICoreWebView2* This, LPCWSTR uri, std::int32_t resourceContext);
  TU_WV2_EVENT_SLOTS(WindowCloseRequested, Wv2Object);
};
#undef TU_WV2_EVENT_SLOTS

TU_WV2_INTERFACE(ICoreWebView2Settings, 0xE562E4F0, 0xD7FA, 0x43AC, 0x8D, 0x71, 0xC0, 0x51, 0x50,
                 0x49, 0x9F, 0x00);
// A boolean switch: a getter and a setter.
#define TU_WV2_BOOL_PROPERTY(Interface, Name)                             \
  HRESULT(STDMETHODCALLTYPE* get_##Name)(Interface * This, BOOL * value); \
  HRESULT(STDMETHODCALLTYPE* put_##Name)(Interface * This, BOOL value)
// The base settings: nine switches in this order, shared with the later versions.
#define TU_WV2_SETTINGS_SLOTS(Interface)                           \
  TU_WV2_UNKNOWN_SLOTS(Interface);                                 \
  TU_WV2_BOOL_PROPERTY(Interface, IsScriptEnabled);                \
  TU_WV2_BOOL_PROPERTY(Interface, IsWebMessageEnabled);            \
  TU_WV2_BOOL_PROPERTY(Interface, AreDefaultScriptDialogsEnabled); \
  TU_WV2_BOOL_PROPERTY(Interface, IsStatusBarEnabled);             \
  TU_WV2_BOOL_PROPERTY(Interface, AreDevToolsEnabled);             \
  TU_WV2_BOOL_PROPERTY(Interface, AreDefaultContextMenusEnabled);  \
  TU_WV2_BOOL_PROPERTY(Interface, AreHostObjectsAllowed);          \
  TU_WV2_BOOL_PROPERTY(Interface, IsZoomControlEnabled);           \
  TU_WV2_BOOL_PROPERTY(Interface, IsBuiltInErrorPageEnabled)
struct ICoreWebView2SettingsVtbl {
  TU_WV2_SETTINGS_SLOTS(ICoreWebView2Settings);
};

// The settings' later versions: Settings2 adds the user agent (slots 21 and 22), Settings3
// the browser's own keys (23 and 24). Reached only through QueryInterface.
TU_WV2_INTERFACE(ICoreWebView2Settings3, 0xFDB5AB74, 0xAF33, 0x4854, 0x84, 0xF0, 0x0A, 0x63, 0x1D,
                 0xEB, 0x5E, 0xBA);
struct ICoreWebView2Settings3Vtbl {
  TU_WV2_SETTINGS_SLOTS(ICoreWebView2Settings3);
  // ICoreWebView2Settings2
  HRESULT(STDMETHODCALLTYPE* get_UserAgent)(ICoreWebView2Settings3* This, LPWSTR* userAgent);
  HRESULT(STDMETHODCALLTYPE* put_UserAgent)(ICoreWebView2Settings3* This, LPCWSTR userAgent);
  // ICoreWebView2Settings3
  TU_WV2_BOOL_PROPERTY(ICoreWebView2Settings3, AreBrowserAcceleratorKeysEnabled);
};
#undef TU_WV2_SETTINGS_SLOTS
#undef TU_WV2_BOOL_PROPERTY

TU_WV2_INTERFACE(ICoreWebView2WebMessageReceivedEventHandler, 0x57213F19, 0x00E6, 0x49FA, 0x8E,
                 0x07, 0x89, 0x8E, 0xA0, 0x1E, 0xCB, 0xD2);
struct ICoreWebView2WebMessageReceivedEventHandlerVtbl {
  TU_WV2_UNKNOWN_SLOTS(ICoreWebView2WebMessageReceivedEventHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (ICoreWebView2WebMessageReceivedEventHandler* This, ICoreWebView2* sender,
   ICoreWebView2WebMessageReceivedEventArgs* args);
};

TU_WV2_INTERFACE(ICoreWebView2WebMessageReceivedEventArgs, 0x0F99A40C, 0xE962, 0x4207, 0x9E, 0x92,
                 0xE3, 0xD5, 0x42, 0xEF, 0xF8, 0x49);
struct ICoreWebView2WebMessageReceivedEventArgsVtbl {
  TU_WV2_UNKNOWN_SLOTS(ICoreWebView2WebMessageReceivedEventArgs);
  HRESULT(STDMETHODCALLTYPE* get_Source)
  (ICoreWebView2WebMessageReceivedEventArgs* This, LPWSTR* source);
  HRESULT(STDMETHODCALLTYPE* get_WebMessageAsJson)
  (ICoreWebView2WebMessageReceivedEventArgs* This, LPWSTR* webMessageAsJson);
  HRESULT(STDMETHODCALLTYPE* TryGetWebMessageAsString)
  (ICoreWebView2WebMessageReceivedEventArgs* This, LPWSTR* webMessageAsString);
};

TU_WV2_INTERFACE(ICoreWebView2NewWindowRequestedEventHandler, 0xD4C185FE, 0xC81C, 0x4989, 0x97,
                 0xAF, 0x2D, 0x3F, 0xA7, 0xAB, 0x56, 0x51);
struct ICoreWebView2NewWindowRequestedEventHandlerVtbl {
  TU_WV2_UNKNOWN_SLOTS(ICoreWebView2NewWindowRequestedEventHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (ICoreWebView2NewWindowRequestedEventHandler* This, ICoreWebView2* sender,
   ICoreWebView2NewWindowRequestedEventArgs* args);
};

TU_WV2_INTERFACE(ICoreWebView2NewWindowRequestedEventArgs, 0x34ACB11C, 0xFC37, 0x4418, 0x91, 0x32,
                 0xF9, 0xC2, 0x1D, 0x1E, 0xAF, 0xB9);
struct ICoreWebView2NewWindowRequestedEventArgsVtbl {
  TU_WV2_UNKNOWN_SLOTS(ICoreWebView2NewWindowRequestedEventArgs);
  HRESULT(STDMETHODCALLTYPE* get_Uri)(ICoreWebView2NewWindowRequestedEventArgs* This, LPWSTR* uri);
  HRESULT(STDMETHODCALLTYPE* put_NewWindow)
  (ICoreWebView2NewWindowRequestedEventArgs* This, ICoreWebView2* newWindow);
  HRESULT(STDMETHODCALLTYPE* get_NewWindow)
  (ICoreWebView2NewWindowRequestedEventArgs* This, ICoreWebView2** newWindow);
  HRESULT(STDMETHODCALLTYPE* put_Handled)
  (ICoreWebView2NewWindowRequestedEventArgs* This, BOOL handled);
  HRESULT(STDMETHODCALLTYPE* get_Handled)
  (ICoreWebView2NewWindowRequestedEventArgs* This, BOOL* handled);
  HRESULT(STDMETHODCALLTYPE* get_IsUserInitiated)
  (ICoreWebView2NewWindowRequestedEventArgs* This, BOOL* isUserInitiated);
  HRESULT(STDMETHODCALLTYPE* GetDeferral)
  (ICoreWebView2NewWindowRequestedEventArgs* This, Wv2Object** deferral);
  HRESULT(STDMETHODCALLTYPE* get_WindowFeatures)
  (ICoreWebView2NewWindowRequestedEventArgs* This, Wv2Object** value);
};

TU_WV2_INTERFACE(ICoreWebView2NavigationStartingEventHandler, 0x9ADBE429, 0xF36D, 0x432B, 0x9D,
                 0xDC, 0xF8, 0x88, 0x1F, 0xBD, 0x76, 0xE3);
struct ICoreWebView2NavigationStartingEventHandlerVtbl {
  TU_WV2_UNKNOWN_SLOTS(ICoreWebView2NavigationStartingEventHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (ICoreWebView2NavigationStartingEventHandler* This, ICoreWebView2* sender,
   ICoreWebView2NavigationStartingEventArgs* args);
};

TU_WV2_INTERFACE(ICoreWebView2NavigationStartingEventArgs, 0x5B495469, 0xE119, 0x438A, 0x9B, 0x18,
                 0x76, 0x04, 0xF2, 0x5F, 0x2E, 0x49);
struct ICoreWebView2NavigationStartingEventArgsVtbl {
  TU_WV2_UNKNOWN_SLOTS(ICoreWebView2NavigationStartingEventArgs);
  HRESULT(STDMETHODCALLTYPE* get_Uri)(ICoreWebView2NavigationStartingEventArgs* This, LPWSTR* uri);
  HRESULT(STDMETHODCALLTYPE* get_IsUserInitiated)
  (ICoreWebView2NavigationStartingEventArgs* This, BOOL* isUserInitiated);
  HRESULT(STDMETHODCALLTYPE* get_IsRedirected)
  (ICoreWebView2NavigationStartingEventArgs* This, BOOL* isRedirected);
  HRESULT(STDMETHODCALLTYPE* get_RequestHeaders)
  (ICoreWebView2NavigationStartingEventArgs* This, Wv2Object** requestHeaders);
  HRESULT(STDMETHODCALLTYPE* get_Cancel)
  (ICoreWebView2NavigationStartingEventArgs* This, BOOL* cancel);
  HRESULT(STDMETHODCALLTYPE* put_Cancel)
  (ICoreWebView2NavigationStartingEventArgs* This, BOOL cancel);
  HRESULT(STDMETHODCALLTYPE* get_NavigationId)
  (ICoreWebView2NavigationStartingEventArgs* This, UINT64* navigationId);
};

TU_WV2_INTERFACE(ICoreWebView2ProcessFailedEventHandler, 0x79E0AEA4, 0x990B, 0x42D9, 0xAA, 0x1D,
                 0x0F, 0xCC, 0x2E, 0x5B, 0xC7, 0xF1);
struct ICoreWebView2ProcessFailedEventHandlerVtbl {
  TU_WV2_UNKNOWN_SLOTS(ICoreWebView2ProcessFailedEventHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (ICoreWebView2ProcessFailedEventHandler* This, ICoreWebView2* sender,
   ICoreWebView2ProcessFailedEventArgs* args);
};

TU_WV2_INTERFACE(ICoreWebView2ProcessFailedEventArgs, 0x8155A9A4, 0x1474, 0x4A86, 0x8C, 0xAE, 0x15,
                 0x1B, 0x0F, 0xA6, 0xB8, 0xCA);
struct ICoreWebView2ProcessFailedEventArgsVtbl {
  TU_WV2_UNKNOWN_SLOTS(ICoreWebView2ProcessFailedEventArgs);
  HRESULT(STDMETHODCALLTYPE* get_ProcessFailedKind)
  (ICoreWebView2ProcessFailedEventArgs* This, std::int32_t* kind);
};

// COREWEBVIEW2_PROCESS_FAILED_KIND values the launcher acts on; the list grows with the
// runtime, so any other value must be accepted.
inline constexpr std::int32_t kBrowserProcessExited = 0;
inline constexpr std::int32_t kRenderProcessExited = 1;

// The runtime DLL's creation export (EmbeddedBrowserWebView.dll): an undocumented flag (pass 1),
// the runtime kind (0 installed, 1 fixed folder), the user data folder, the environment options
// (may be null) and the completion handler.
using CreateWebViewEnvironmentWithOptionsInternalFn = HRESULT(STDMETHODCALLTYPE*)(
    UINT32 flag, std::int32_t runtimeKind, LPCWSTR userDataFolder, Wv2Object* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

#undef TU_WV2_CONTROLLER_SLOTS
#undef TU_WV2_INTERFACE
#undef TU_WV2_UNKNOWN_SLOTS

}  // namespace tu

#include "ui/webview2/webview2_abi_checks.h"
