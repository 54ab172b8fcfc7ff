#pragma once

// One owner for a handle: move-only, frees the handle once with its own function. The layers
// above platform/ hold the drawing handles through it (see the aliases beside each kind of
// handle: OwnedDc, OwnedBitmap, OwnedIcon, ...); platform/ holds the libraries' handles.

#include <type_traits>
#include <utility>

namespace platform {

// T is either the pointee of a library's pointer handle (the owner holds a T*, nullptr being
// none) or one of platform/'s own integer handles (HDC, HBITMAP, HICON, ...; held as it is,
// 0 being none).
template <typename T, auto Free>
class Owner {
 public:
  using Handle = std::conditional_t<std::is_integral_v<T>, T, T*>;

  Owner() = default;
  // Takes over a handle the caller owns.
  explicit Owner(Handle handle) : m_handle(handle) {}
  Owner(Owner&& other) noexcept : m_handle(std::exchange(other.m_handle, Handle{})) {}
  Owner& operator=(Owner&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.m_handle, Handle{}));
    return *this;
  }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  ~Owner() { Reset(); }

  Handle get() const { return m_handle; }
  explicit operator bool() const { return m_handle != Handle{}; }
  // Frees the handle held (if any) and holds `handle` instead.
  void Reset(Handle handle = Handle{}) {
    Handle old = std::exchange(m_handle, handle);
    if (old != Handle{}) Free(old);
  }
  // Gives the handle up without freeing it.
  Handle Release() { return std::exchange(m_handle, Handle{}); }

 private:
  Handle m_handle{};
};

}  // namespace platform
