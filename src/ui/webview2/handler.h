// Handler: the reference-counted COM object handed to the web view for one completion or event
// callback. It implements IUnknown and one WebView2 handler interface (a vtable of
// QueryInterface, AddRef, Release, Invoke) around a function object.
//
//   auto handler = makeHandler<ICoreWebView2NavigationStartingEventHandler>(
//       [](ICoreWebView2* sender, ICoreWebView2NavigationStartingEventArgs* args) { ... });
//
// makeHandler returns the creator's reference in a ComRef, so it is released right after the
// object has been handed to the web view, which keeps its own. QueryInterface answers IUnknown
// and the handler's own interface id with the object itself (adding a reference); a null out
// pointer gives E_POINTER; anything else E_NOINTERFACE with a null result. The count is atomic
// and the object deletes itself when it reaches 0. Invoke calls the function object on the
// thread that the web view calls it on (the main thread); an exception it throws becomes
// E_OUTOFMEMORY (std::bad_alloc) or E_UNEXPECTED. Windows builds only.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

#include "ui/webview2/com_ref.h"
#include "ui/webview2/webview2.h"

namespace tu {

template <class Interface, class... Args>
class Handler final : public Interface {
 public:
  using Function = std::function<HRESULT(Args...)>;

  // A new object holding one reference (the caller's); null when memory runs out.
  static Interface* create(Function function) {
    Handler* handler = new (std::nothrow) Handler(std::move(function));
    return handler;  // the Interface base sits at the object's address
  }

  ULONG references() const { return references_.load(); }

 private:
  using Vtbl = std::remove_const_t<std::remove_pointer_t<decltype(Interface::lpVtbl)>>;

  explicit Handler(Function function) : function_(std::move(function)) { this->lpVtbl = &vtable; }

  static Handler* self(Interface* object) { return static_cast<Handler*>(object); }

  static HRESULT STDMETHODCALLTYPE queryInterface(Interface* object, const GUID* riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!riid) return E_NOINTERFACE;
    if (IsEqualGUID(*riid, Wv2Unknown::iid) || IsEqualGUID(*riid, self(object)->iid_)) {
      addRef(object);
      *out = object;
      return S_OK;
    }
    return E_NOINTERFACE;
  }

  static ULONG STDMETHODCALLTYPE addRef(Interface* object) {
    return self(object)->references_.fetch_add(1) + 1;
  }

  static ULONG STDMETHODCALLTYPE release(Interface* object) {
    const ULONG left = self(object)->references_.fetch_sub(1) - 1;
    if (left == 0) delete self(object);
    return left;
  }

  // Nothing may unwind into the runtime's frames: whatever the function throws ends the call
  // with a failure the runtime understands.
  static HRESULT STDMETHODCALLTYPE invoke(Interface* object, Args... args) {
    Handler* handler = self(object);
    try {
      return handler->function_ ? handler->function_(args...) : S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

  // Built from the four functions above; this only compiles when Invoke's arguments and
  // calling convention match the interface's declared slot.
  static constexpr Vtbl vtable = {&queryInterface, &addRef, &release, &invoke};

  const GUID iid_ = Interface::iid;
  Function function_;
  std::atomic<ULONG> references_{1};
};

namespace detail {
// The argument types of an interface's Invoke slot, after `This`.
template <class Interface, class Fn>
struct HandlerFor;
template <class Interface, class R, class... Args>
struct HandlerFor<Interface, R(STDMETHODCALLTYPE*)(Interface*, Args...)> {
  using type = Handler<Interface, Args...>;
};
template <class Interface>
using HandlerOf =
    typename HandlerFor<Interface,
                        decltype(std::remove_pointer_t<decltype(Interface::lpVtbl)>::Invoke)>::type;
}  // namespace detail

// A Handler for `Interface` whose Invoke runs `function`; the ComRef holds the creator's
// reference (empty when memory ran out).
template <class Interface, class F>
ComRef<Interface> makeHandler(F&& function) {
  using H = detail::HandlerOf<Interface>;
  return ComRef<Interface>(H::create(typename H::Function(std::forward<F>(function))));
}

}  // namespace tu
