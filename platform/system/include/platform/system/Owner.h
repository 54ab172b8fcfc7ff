#pragma once

// One owner for a C handle of the libraries under platform/: move-only, frees the handle once
// with the library's own function. Private to platform/.

#include <utility>

namespace platform::detail {

template <typename T, auto Free>
class Owner {
 public:
  Owner() = default;
  // Takes over a handle the caller owns.
  explicit Owner(T* handle) : m_handle(handle) {}
  Owner(Owner&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
  Owner& operator=(Owner&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.m_handle, nullptr));
    return *this;
  }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  ~Owner() { Reset(); }

  T* get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr; }
  // Frees the handle held (if any) and holds `handle` instead.
  void Reset(T* handle = nullptr) {
    T* old = std::exchange(m_handle, handle);
    if (old != nullptr) Free(old);
  }
  // Gives the handle up without freeing it.
  T* Release() { return std::exchange(m_handle, nullptr); }

 private:
  T* m_handle = nullptr;
};

}  // namespace platform::detail
