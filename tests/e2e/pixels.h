// Comparing what is on the screen with what the system draws for the expected font,
// colour or icon, so that a check holds for any position the drawing may take.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/scoped_gdi.h"

namespace tarvik::e2e {

/// Pixels as 0x00RRGGBB, row by row from the top.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

/// Screen pixels as the user sees them.
Image CaptureScreen(const RECT& screenRect);

/// Writes the image as a PNG file; false if the file cannot be written.
bool SavePng(const Image& image, const std::wstring& path);

/// The colour covering most of the image: the background of a control or box.
uint32_t MostFrequentColour(const Image& image);

/// The smallest part of the image holding every pixel that differs from the
/// background; empty if there is none.
Image Ink(const Image& image, uint32_t background);

/// A sub-rectangle of the image, clipped to it.
Image Crop(const Image& image, RECT part);

/// The font GDI picks for that face and height, as a control asks for it.
ui::ScopedFont FontOf(const wchar_t* face, int height, bool underline = false);

/// Text as a static control draws it, in the given face, height, underline and
/// colour, on the background colour, in a box of the given size.
Image RenderText(const std::wstring& text, const wchar_t* face, int height, bool underline,
                 uint32_t colour, uint32_t background, int width, int boxHeight);

/// True if both images have the same size and pixels; `difference` says where not.
bool SameImage(const Image& a, const Image& b, std::string& difference);

/// The opaque pixels of an icon drawn at the given size: colour where opaque, and
/// kTransparent where the background shows through at all.
inline constexpr uint32_t kTransparent = 0xFF000000;
Image OpaqueIcon(HICON icon, int size);

/// Whether the icon's opaque pixels appear somewhere in the image, all of them exactly.
bool ContainsIcon(const Image& image, const Image& opaqueIcon, POINT& where);

}  // namespace tarvik::e2e
