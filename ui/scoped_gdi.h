// Move-only owners for the GDI and icon handles the window holds, so that every way out
// of a scope releases them exactly once.
#pragma once

#include <windows.h>

#include <utility>

namespace tarvik::ui {

struct DeleteGdiObject {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct DestroyIconHandle {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};

/// Owns a handle and frees it with Free: a GDI object (font, brush, pen, bitmap) with
/// DeleteObject, an icon the program loaded for itself with DestroyIcon.
template <typename Handle, typename Free = DeleteGdiObject>
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
    if (handle_) Free()(handle_);
    handle_ = nullptr;
  }

  Handle handle_ = nullptr;
};

using ScopedFont = ScopedGdiObject<HFONT>;
using ScopedIcon = ScopedGdiObject<HICON, DestroyIconHandle>;

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
