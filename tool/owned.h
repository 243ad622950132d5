// What the system hands out and wants back, given back by its owner's end on every path:
// Owned for handles, keys and memory (each with the one call that frees it), ComPtr for
// COM's reference-counted objects. Portable: the closing call is a template argument.
#pragma once

#include <utility>

// Owns `T` (a HANDLE, an HKEY, a pointer the system allocated) and calls `kClose` on it at
// its end; T{} is none. A handle that Windows gives as INVALID_HANDLE_VALUE for none is
// made T{} by its caller before it is owned.
//   Owned<HKEY, RegCloseKey> key;  RegOpenKeyExW(..., key.Receive());  Read(key.get());
template <typename T, auto kClose>
class Owned {
 public:
  Owned() = default;
  explicit Owned(T value) : value_(value) {}
  Owned(Owned&& other) noexcept : value_(std::exchange(other.value_, T{})) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.value_, T{}));
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { Reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != T{}; }
  // Where a call writes what it hands out; whatever was owned before is given back first.
  T* Receive() {
    Reset();
    return &value_;
  }
  // Gives back what is owned and owns `value` instead.
  void Reset(T value = T{}) {
    if (value_ != T{}) kClose(value_);
    value_ = value;
  }
  // Gives it back now, with what the closing call answers (a close that can fail, such
  // as a file's last write, is then seen).
  auto Close() { return kClose(Release()); }
  // No longer owned: the caller gives it back.
  T Release() { return std::exchange(value_, T{}); }

 private:
  T value_{};
};

// A COM interface pointer, released at its end.
//   ComPtr<IShellLinkW> link;  CoCreateInstance(..., link.ReceiveVoid());  link->SetPath(...);
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { Reset(); }

  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  Interface** Receive() {
    Reset();
    return &pointer_;
  }
  // For the calls that hand out an interface as void** (CoCreateInstance, QueryInterface).
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  void Reset() {
    if (pointer_) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  Interface* pointer_ = nullptr;
};
