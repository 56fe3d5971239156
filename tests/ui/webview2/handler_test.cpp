// The Handler object seen from the web view's side: only through its vtable, as the runtime
// calls it.
#include "ui/webview2/handler.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <stdexcept>

namespace tu {
namespace {

using EnvironmentHandler = ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler;

TEST(Handler, AnswersItsInterfaceInvokesItsFunctionAndDiesWithItsLastReference) {
  auto calls = std::make_shared<int>(0);  // what the function holds
  HRESULT seen = S_OK;
  auto handler = makeHandler<EnvironmentHandler>(
      [calls, &seen](HRESULT result, ICoreWebView2Environment* environment) {
        ++*calls;
        seen = result;
        return environment ? E_FAIL : S_FALSE;
      });
  EnvironmentHandler* h = handler.get();
  const std::weak_ptr<int> alive = calls;
  calls.reset();

  void* out = nullptr;
  EXPECT_EQ(h->lpVtbl->QueryInterface(h, &Wv2Unknown::iid, &out), S_OK);
  EXPECT_EQ(out, h);
  EXPECT_EQ(h->lpVtbl->QueryInterface(h, &EnvironmentHandler::iid, &out), S_OK);
  EXPECT_EQ(out, h);
  out = h;
  EXPECT_EQ(h->lpVtbl->QueryInterface(h, &ICoreWebView2Controller::iid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(h->lpVtbl->QueryInterface(h, &EnvironmentHandler::iid, nullptr), E_POINTER);
  // Two references from QueryInterface on top of the creator's; the web view keeps one more,
  // and the creator lets go of its own.
  EXPECT_EQ(h->lpVtbl->Release(h), 2u);
  EXPECT_EQ(h->lpVtbl->Release(h), 1u);
  EXPECT_EQ(h->lpVtbl->AddRef(h), 2u);
  handler.reset();
  EXPECT_EQ(h->lpVtbl->Invoke(h, E_ABORT, nullptr), S_FALSE);
  EXPECT_EQ(seen, E_ABORT);
  EXPECT_EQ(*alive.lock(), 1);
  EXPECT_EQ(h->lpVtbl->Release(h), 0u);
  EXPECT_TRUE(alive.expired());
}

// An exception must not unwind into the runtime's frames (the program would end there).
TEST(Handler, AnExceptionBecomesAFailedCall) {
  auto outOfMemory = makeHandler<EnvironmentHandler>(
      [](HRESULT, ICoreWebView2Environment*) -> HRESULT { throw std::bad_alloc(); });
  auto broken = makeHandler<EnvironmentHandler>(
      [](HRESULT, ICoreWebView2Environment*) -> HRESULT { throw std::runtime_error("x"); });
  EXPECT_EQ(outOfMemory.get()->lpVtbl->Invoke(outOfMemory.get(), S_OK, nullptr), E_OUTOFMEMORY);
  EXPECT_EQ(broken.get()->lpVtbl->Invoke(broken.get(), S_OK, nullptr), E_UNEXPECTED);
}

}  // namespace
}  // namespace tu
