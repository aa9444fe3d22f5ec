#include "pixels.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "check.h"
#include "dib.h"
#include "png.h"
#include "ui/scoped_gdi.h"
#include "win32.h"

namespace tarvik::e2e {

uint32_t MostFrequentColour(const Image& image) {
  std::map<uint32_t, int> counts;
  for (uint32_t p : image.pixels) ++counts[p];
  const auto most = std::max_element(counts.begin(), counts.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; });
  return most == counts.end() ? 0 : most->first;
}

Image Crop(const Image& image, RECT part) {
  const RECT whole{0, 0, image.width, image.height};
  if (!IntersectRect(&part, &part, &whole)) return {};
  Image result{part.right - part.left, part.bottom - part.top, {}};
  for (int y = part.top; y < part.bottom; ++y) {
    const auto row = image.pixels.begin() + y * image.width;
    result.pixels.insert(result.pixels.end(), row + part.left, row + part.right);
  }
  return result;
}

Image Ink(const Image& image, uint32_t background) {
  RECT box{};
  for (int i = 0; i < image.width * image.height; ++i) {
    const RECT pixel{i % image.width, i / image.width, i % image.width + 1, i / image.width + 1};
    if (image.pixels[i] != background) UnionRect(&box, &box, &pixel);
  }
  return Crop(image, box);
}

ui::ScopedFont FontOf(const wchar_t* face, int height, bool underline) {
  return ui::ScopedFont(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE, DEFAULT_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    DEFAULT_PITCH | FF_DONTCARE, face));
}

Image RenderText(const std::wstring& text, const wchar_t* face, int height, bool underline,
                 uint32_t colour, uint32_t background, int width, int boxHeight) {
  test::Dib canvas(width, boxHeight, background);
  const ui::ScopedFont font = FontOf(face, height, underline);
  HGDIOBJ previous = SelectObject(canvas.Dc(), font.Get());
  SetTextColor(canvas.Dc(), test::ToColorRef(colour));
  SetBkMode(canvas.Dc(), TRANSPARENT);
  RECT box{0, 0, width, boxHeight};
  DrawTextW(canvas.Dc(), text.c_str(), static_cast<int>(text.size()), &box,
            DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(canvas.Dc(), previous);
  return {width, boxHeight, canvas.Pixels()};
}

bool SameImage(const Image& a, const Image& b, std::string& difference) {
  if (a.width != b.width || a.height != b.height) {
    difference = Say("size %dx%d against %dx%d", a.width, a.height, b.width, b.height);
    return false;
  }
  const auto [first, other] = std::mismatch(a.pixels.begin(), a.pixels.end(), b.pixels.begin());
  if (first == a.pixels.end()) return true;
  const int at = static_cast<int>(first - a.pixels.begin());
  int differing = 0;
  for (size_t i = at; i < a.pixels.size(); ++i) differing += a.pixels[i] != b.pixels[i];
  difference = Say("%d pixels differ, first at (%d,%d): %06x against %06x", differing, at % a.width, at / a.width,
                   *first, *other);
  return false;
}

Image OpaqueIcon(HICON icon, int size) {
  // Drawn once on black and once on white: a pixel that comes out the same on both
  // is fully opaque, whatever the icon's format (mask or alpha).
  test::Dib onBlack(size, size, 0x000000);
  test::Dib onWhite(size, size, 0xFFFFFF);
  DrawIconEx(onBlack.Dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  DrawIconEx(onWhite.Dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  Image black{size, size, onBlack.Pixels()};
  const std::vector<uint32_t> white = onWhite.Pixels();
  std::transform(black.pixels.begin(), black.pixels.end(), white.begin(), black.pixels.begin(),
                 [](uint32_t dark, uint32_t light) { return dark == light ? dark : kTransparent; });
  return black;
}

bool ContainsIcon(const Image& image, const Image& opaqueIcon, POINT& where) {
  const auto drawnAt = [&](int left, int top) {
    const Image part = Crop(image, {left, top, left + opaqueIcon.width, top + opaqueIcon.height});
    return std::equal(opaqueIcon.pixels.begin(), opaqueIcon.pixels.end(), part.pixels.begin(),
                      [](uint32_t want, uint32_t seen) { return want == kTransparent || want == seen; });
  };
  for (where.y = 0; where.y + opaqueIcon.height <= image.height; ++where.y) {
    for (where.x = 0; where.x + opaqueIcon.width <= image.width; ++where.x) {
      if (drawnAt(where.x, where.y)) return true;
    }
  }
  return false;
}

Image CaptureScreen(const RECT& screenRect) {
  const int width = screenRect.right - screenRect.left, height = screenRect.bottom - screenRect.top;
  if (width <= 0 || height <= 0) return {};
  test::Dib copy(width, height);
  copy.CopyScreen(screenRect.left, screenRect.top);
  return {width, height, copy.Pixels()};
}

bool SavePng(const Image& image, const std::wstring& path) {
  std::vector<uint8_t> samples;
  for (uint32_t p : image.pixels) samples.insert(samples.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
  const std::vector<uint8_t> bytes = png::Encode(image.width, image.height, 3, samples);
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace tarvik::e2e
