#pragma once
// Small RAII owners for Win32 handles and COM pointers.
#include <windows.h>

#include <utility>

// Owns a handle described by Traits (type, invalid value, close function).
template <typename Traits>
class UniqueAny {
 public:
  using T = typename Traits::type;
  UniqueAny() = default;
  explicit UniqueAny(T value) : value_(value) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueAny() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::invalid(); }
  T release() { return std::exchange(value_, Traits::invalid()); }
  void reset(T value = Traits::invalid()) {
    T old = std::exchange(value_, value);
    if (old != Traits::invalid()) Traits::close(old);
  }
  // For out-parameters: releases the current value and hands out its slot.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Traits::invalid();
};

namespace handles_detail {
template <typename H, void (*Close)(H), bool InvalidIsMinusOne = false>
struct Traits {
  using type = H;
  static H invalid() {
    if constexpr (InvalidIsMinusOne) return reinterpret_cast<H>(INVALID_HANDLE_VALUE);
    else return H{};
  }
  static void close(H h) { Close(h); }
};
inline void CloseHandleFn(HANDLE h) { ::CloseHandle(h); }
inline void RegCloseKeyFn(HKEY k) { ::RegCloseKey(k); }
inline void FindCloseFn(HANDLE h) { ::FindClose(h); }
inline void FreeLibraryFn(HMODULE m) { ::FreeLibrary(m); }
}  // namespace handles_detail

// Process, thread, semaphore, event handles: empty at NULL.
using UniqueHandle = UniqueAny<handles_detail::Traits<HANDLE, handles_detail::CloseHandleFn>>;
// File handles: empty at INVALID_HANDLE_VALUE.
using UniqueFile = UniqueAny<handles_detail::Traits<HANDLE, handles_detail::CloseHandleFn, true>>;
using UniqueFind = UniqueAny<handles_detail::Traits<HANDLE, handles_detail::FindCloseFn, true>>;
using UniqueHKey = UniqueAny<handles_detail::Traits<HKEY, handles_detail::RegCloseKeyFn>>;
using UniqueModule = UniqueAny<handles_detail::Traits<HMODULE, handles_detail::FreeLibraryFn>>;

// Owns one reference of a COM interface.
template <typename I>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ~ComPtr() { reset(); }
  I* get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  I** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  I* p_ = nullptr;
};

// Runs a function when the scope ends.
template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() {
    if (active_) f_();
  }
  void dismiss() { active_ = false; }

 private:
  F f_;
  bool active_ = true;
};
