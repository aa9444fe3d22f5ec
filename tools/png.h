// The one PNG writer of the project, for the icon tool's desktop icon and the
// end-to-end test's screenshots: 8 bits per sample, no filtering, and the image data in
// stored (uncompressed) deflate blocks, so it needs no compression library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvik::png {

/// The PNG file of an image given as samples row by row from the top: R, G, B for 3
/// channels, R, G, B, A (not premultiplied) for 4.
std::vector<uint8_t> Encode(int width, int height, int channels, const std::vector<uint8_t>& samples);

/// CRC-32 as PNG chunks (and zlib's crc32) compute it, continued from crc.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

}  // namespace tarvik::png
