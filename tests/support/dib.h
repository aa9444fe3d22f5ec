// The tests' one way to read pixels: a 32-bit top-down DIB section selected into a
// memory DC, drawn into or copied from the screen, read back as 0x00RRGGBB.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tarvik::test {

class Dib {
 public:
  Dib(int width, int height, uint32_t fill = 0) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
    const BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
    if (bits_) std::fill(bits_, bits_ + static_cast<size_t>(width) * height, fill);
  }
  ~Dib() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  /// The screen's pixels from (left, top), layered windows included.
  bool CopyScreen(int left, int top) {
    HDC screen = GetDC(nullptr);
    const bool copied = BitBlt(dc_, 0, 0, width_, height_, screen, left, top, SRCCOPY | CAPTUREBLT);
    ReleaseDC(nullptr, screen);
    return copied;
  }

  HDC Dc() const { return dc_; }
  bool Valid() const { return bits_ != nullptr; }
  uint32_t At(int x, int y) const {
    GdiFlush();
    return bits_[static_cast<size_t>(y) * width_ + x] & 0xFFFFFF;
  }
  std::vector<uint32_t> Pixels() const {
    GdiFlush();
    std::vector<uint32_t> pixels(bits_, bits_ + static_cast<size_t>(width_) * height_);
    for (uint32_t& p : pixels) p &= 0xFFFFFF;
    return pixels;
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  uint32_t* bits_ = nullptr;
};

}  // namespace tarvik::test
