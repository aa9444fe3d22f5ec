// Move-only owners for the GDI handles the window holds, so that every way out of a
// scope releases them exactly once.
#pragma once

#include <windows.h>

#include <utility>

namespace tarvik::ui {

/// Owns a GDI object (font, brush, pen, bitmap) and deletes it with DeleteObject.
template <typename Handle>
class ScopedGdiObject {
 public:
  ScopedGdiObject() = default;
  explicit ScopedGdiObject(Handle handle) : handle_(handle) {}
  ScopedGdiObject(ScopedGdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  ScopedGdiObject& operator=(ScopedGdiObject&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  ScopedGdiObject(const ScopedGdiObject&) = delete;
  ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;
  ~ScopedGdiObject() { Reset(); }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  void Reset() {
    if (handle_) DeleteObject(handle_);
    handle_ = nullptr;
  }

  Handle handle_ = nullptr;
};

using ScopedFont = ScopedGdiObject<HFONT>;

/// The screen's device context for as long as the scope lasts.
class ScopedScreenDC {
 public:
  ScopedScreenDC() : dc_(GetDC(nullptr)) {}
  ScopedScreenDC(const ScopedScreenDC&) = delete;
  ScopedScreenDC& operator=(const ScopedScreenDC&) = delete;
  ~ScopedScreenDC() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }

  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace tarvik::ui
