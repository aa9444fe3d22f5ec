#include "pixels.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "dib.h"
#include "png.h"
#include "ui/scoped_gdi.h"
#include "win32.h"

namespace tarvik::e2e {

uint32_t MostFrequentColour(const Image& image) {
  std::map<uint32_t, int> counts;
  for (uint32_t p : image.pixels) ++counts[p];
  uint32_t best = 0;
  int bestCount = -1;
  for (const auto& [colour, count] : counts) {
    if (count > bestCount) best = colour, bestCount = count;
  }
  return best;
}

Image Crop(const Image& image, RECT part) {
  part.left = std::max<LONG>(part.left, 0);
  part.top = std::max<LONG>(part.top, 0);
  part.right = std::min<LONG>(part.right, image.width);
  part.bottom = std::min<LONG>(part.bottom, image.height);
  Image result;
  if (part.right <= part.left || part.bottom <= part.top) return result;
  result.width = part.right - part.left;
  result.height = part.bottom - part.top;
  for (int y = part.top; y < part.bottom; ++y) {
    for (int x = part.left; x < part.right; ++x) result.pixels.push_back(image.At(x, y));
  }
  return result;
}

Image Ink(const Image& image, uint32_t background) {
  RECT box{image.width, image.height, 0, 0};
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (image.At(x, y) == background) continue;
      box.left = std::min<LONG>(box.left, x);
      box.top = std::min<LONG>(box.top, y);
      box.right = std::max<LONG>(box.right, x + 1);
      box.bottom = std::max<LONG>(box.bottom, y + 1);
    }
  }
  return Crop(image, box);
}

Image RenderText(const std::wstring& text, const wchar_t* face, int height, bool underline,
                 uint32_t colour, uint32_t background, int width, int boxHeight) {
  test::Dib canvas(width, boxHeight, background);
  const ui::ScopedFont font(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE, DEFAULT_CHARSET,
                                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                        DEFAULT_PITCH | FF_DONTCARE, face));
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
    difference = "size " + std::to_string(a.width) + "x" + std::to_string(a.height) + " against " +
                 std::to_string(b.width) + "x" + std::to_string(b.height);
    return false;
  }
  int differing = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      if (a.At(x, y) == b.At(x, y)) continue;
      if (differing++ == 0) {
        char where[96];
        std::snprintf(where, sizeof where, "first at (%d,%d): %06x against %06x", x, y, a.At(x, y), b.At(x, y));
        difference = where;
      }
    }
  }
  if (differing) difference = std::to_string(differing) + " pixels differ, " + difference;
  return differing == 0;
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
  for (size_t i = 0; i < black.pixels.size(); ++i) {
    if (black.pixels[i] != white[i]) black.pixels[i] = kTransparent;
  }
  return black;
}

bool ContainsIcon(const Image& image, const Image& opaqueIcon, POINT& where) {
  for (int top = 0; top + opaqueIcon.height <= image.height; ++top) {
    for (int left = 0; left + opaqueIcon.width <= image.width; ++left) {
      bool all = true;
      for (int y = 0; y < opaqueIcon.height && all; ++y) {
        for (int x = 0; x < opaqueIcon.width && all; ++x) {
          const uint32_t want = opaqueIcon.At(x, y);
          all = want == kTransparent || image.At(left + x, top + y) == want;
        }
      }
      if (all) {
        where = {left, top};
        return true;
      }
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
