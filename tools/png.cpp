#include "png.h"

#include <array>

namespace tarvik::png {
namespace {

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char (&type)[5], const std::vector<uint8_t>& data) {
  PutBigEndian32(out, static_cast<uint32_t>(data.size()));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  // The CRC covers the chunk type and data, not the length.
  PutBigEndian32(out, Crc32(out.data() + typeAt, 4 + data.size()));
}

uint32_t Adler32(const std::vector<uint8_t>& data) {
  uint32_t a = 1, b = 0;
  for (uint8_t byte : data) {
    a = (a + byte) % 65521u;
    b = (b + a) % 65521u;
  }
  return b << 16 | a;
}

// A zlib stream of stored blocks: header, blocks of at most 65535 bytes each with their
// length and its complement in little-endian order, then the Adler-32.
std::vector<uint8_t> ZlibStored(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};  // deflate, 32 KB window, no dictionary
  size_t at = 0;
  do {
    const size_t size = raw.size() - at < 0xFFFF ? raw.size() - at : 0xFFFF;
    out.push_back(at + size == raw.size() ? 1 : 0);
    for (size_t v : {size, size ^ 0xFFFF}) {
      out.push_back(static_cast<uint8_t>(v));
      out.push_back(static_cast<uint8_t>(v >> 8));
    }
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
               raw.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  } while (at < raw.size());
  PutBigEndian32(out, Adler32(raw));
  return out;
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::vector<uint8_t> Encode(int width, int height, int channels, const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBigEndian32(header, static_cast<uint32_t>(width));
  PutBigEndian32(header, static_cast<uint32_t>(height));
  // 8 bits, RGB (2) or RGBA (6), deflate, no filter, no interlace.
  header.insert(header.end(), {8, static_cast<uint8_t>(channels == 4 ? 6 : 2), 0, 0, 0});
  PutChunk(out, "IHDR", header);

  const size_t rowBytes = static_cast<size_t>(width) * channels;
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (1 + rowBytes));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter type None
    const auto row = samples.begin() + static_cast<std::ptrdiff_t>(y * rowBytes);
    raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(rowBytes));
  }
  PutChunk(out, "IDAT", ZlibStored(raw));
  PutChunk(out, "IEND", {});
  return out;
}

}  // namespace tarvik::png
