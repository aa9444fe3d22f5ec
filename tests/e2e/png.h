// A PNG writer small enough to read in one sitting: 8-bit RGB, no filtering, and the
// image data in stored (uncompressed) deflate blocks, so it needs no zlib.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvik::e2e {

/// Pixels as 0x00RRGGBB, row by row from the top.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

/// The complete PNG file for the image.
std::vector<uint8_t> EncodePng(const Image& image);

/// CRC-32 as PNG chunks use it (polynomial 0xEDB88320), continued from crc.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

/// Adler-32 as the zlib stream trailer uses it.
uint32_t Adler32(const uint8_t* data, size_t size);

/// Writes the image as a PNG file; false if the file cannot be written.
bool SavePng(const Image& image, const std::wstring& path);

}  // namespace tarvik::e2e
