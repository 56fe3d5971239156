// ComRef: owns one reference to a C-style COM object (any struct whose first member is its
// vtable pointer, with IUnknown's three slots first). Move-only; releases on destruction.
// Windows builds only.
#pragma once

#include <utility>

namespace tu {

template <class T>
class ComRef {
 public:
  ComRef() = default;
  // Takes over a reference the caller already holds (an out-parameter, a fresh object).
  explicit ComRef(T* adopted) : object_(adopted) {}
  // Adds a reference of its own to a borrowed pointer.
  static ComRef retain(T* borrowed) {
    if (borrowed) borrowed->lpVtbl->AddRef(borrowed);
    return ComRef(borrowed);
  }
  ComRef(ComRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() { reset(); }

  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // For out-parameters: drops the current reference and hands out the slot to fill.
  T** put() {
    reset();
    return &object_;
  }
  void reset() {
    if (T* object = std::exchange(object_, nullptr)) object->lpVtbl->Release(object);
  }

 private:
  T* object_ = nullptr;
};

}  // namespace tu
