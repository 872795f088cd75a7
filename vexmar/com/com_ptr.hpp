#pragma once
// An owning interface pointer: Release on destruction, AddRef on copy.
#include "vexmar/com/windows_com.hpp"

#include <utility>

namespace vexmar::com {

template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes over a reference the caller already holds.
  static ComPtr Adopt(T* p) noexcept {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  // Takes a reference of its own.
  static ComPtr Share(T* p) noexcept {
    if (p != nullptr) p->AddRef();
    return Adopt(p);
  }
  ComPtr(const ComPtr& other) noexcept : p_(other.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  // Hands the reference to the caller.
  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  // For out parameters: releases what is held and gives the slot.
  T** Put() noexcept {
    Reset();
    return &p_;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

  // QueryInterface for another interface; empty when the object does not have it.
  template <typename U>
  ComPtr<U> As(const IID& iid) const noexcept {
    ComPtr<U> r;
    if (p_ != nullptr) p_->QueryInterface(iid, r.PutVoid());
    return r;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace vexmar::com
