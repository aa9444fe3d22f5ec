// Draws the program icon, a white number sign on a rounded blue badge, and writes it as
// the .ico file that the window program's resources are made from (app/tarvik.ico):
//
//   make_icon app/tarvik.ico
//   make_icon build/tarvik.ico --compare-with app/tarvik.ico   (what the test runs)
//   make_icon --png 48 build/tarvik-48.png   (a desktop icon, drawn at build time)
//
// Six images, in the order the resources list them: 16, 32 and 48 pixels with a
// 256-colour palette, then the same sizes in 32-bit colour with alpha. Everything is
// integer arithmetic, so every compiler and machine writes the same bytes. The PNG
// form is the image with alpha of one of those sizes, for the desktop's icon theme.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "png.h"

namespace tarvik::icon {
namespace {

struct Rgb {
  int r, g, b;
  friend bool operator==(const Rgb&, const Rgb&) = default;
  friend auto operator<=>(const Rgb&, const Rgb&) = default;
};

// Non-premultiplied colour; alpha 0 to 255.
struct Rgba {
  Rgb colour;
  int alpha;
};

constexpr Rgb kOutline{20, 48, 104};
constexpr Rgb kFillTop{76, 146, 232};
constexpr Rgb kFillBottom{30, 92, 196};
constexpr Rgb kSign{255, 255, 255};

// Each pixel is sampled on a kSamples x kSamples grid. Positions are counted in units
// of 1/kUnitsPerPixel pixel, in which every sample centre has whole coordinates.
constexpr int kSamples = 16;
constexpr int kUnitsPerPixel = 2 * kSamples;

// One size of the artwork, in half pixels. Each size is drawn from its own numbers
// rather than scaled, so that the strokes of the sign cover whole pixels at 16 x 16
// and edges stay sharp at every size.
struct Design {
  int size;          // pixels
  int cornerRadius;  // of the badge's outer edge
  int outline;       // width of the dark rim
  int signFrom;      // where the sign's bars start and end, on both axes
  int signTo;
  int barWidth;
  int firstBar;      // left (and top) edge of the first bar on each axis
  int secondBar;
};

constexpr std::array<Design, 3> kDesigns{{
    {16, 7, 2, 6, 26, 4, 10, 18},
    {32, 12, 4, 12, 52, 8, 20, 36},
    {48, 21, 4, 18, 78, 12, 30, 54},
}};

struct Image {
  int size = 0;
  std::vector<Rgba> pixels;  // rows from the top
  const Rgba& At(int x, int y) const { return pixels[static_cast<size_t>(y * size + x)]; }
};

// Inside the rectangle [left, right] x [top, bottom] whose corners are rounded with
// the given radius; all in units of 1/kUnitsPerPixel pixel.
bool InRoundedRect(int64_t x, int64_t y, int64_t left, int64_t top, int64_t right,
                   int64_t bottom, int64_t radius) {
  if (x < left || x > right || y < top || y > bottom) return false;
  const int64_t dx = x - std::clamp(x, left + radius, right - radius);
  const int64_t dy = y - std::clamp(y, top + radius, bottom - radius);
  return dx * dx + dy * dy <= radius * radius;
}

int Mix(int from, int to, int64_t step, int64_t steps) {
  return from + static_cast<int>((to - from) * step / steps);
}

// The colour at one sample point; alpha 0 outside the badge.
Rgba Sample(const Design& d, int64_t x, int64_t y) {
  const int64_t half = kUnitsPerPixel / 2;
  const int64_t edge = int64_t{d.size} * 2 * half;
  const int64_t radius = d.cornerRadius * half;
  if (!InRoundedRect(x, y, 0, 0, edge, edge, radius)) return {{0, 0, 0}, 0};

  const int64_t rim = d.outline * half;
  if (!InRoundedRect(x, y, rim, rim, edge - rim, edge - rim, std::max<int64_t>(radius - rim, 0))) {
    return {kOutline, 255};
  }

  const auto inBar = [&](int64_t v, int bar) { return v >= bar * half && v <= (bar + d.barWidth) * half; };
  const auto inSpan = [&](int64_t v) { return v >= d.signFrom * half && v <= d.signTo * half; };
  const bool vertical = inSpan(y) && (inBar(x, d.firstBar) || inBar(x, d.secondBar));
  const bool horizontal = inSpan(x) && (inBar(y, d.firstBar) || inBar(y, d.secondBar));
  if (vertical || horizontal) return {kSign, 255};

  // A light-to-deep vertical gradient across the inside of the rim.
  const int64_t steps = edge - 2 * rim;
  const int64_t step = std::clamp<int64_t>(y - rim, 0, steps);
  return {{Mix(kFillTop.r, kFillBottom.r, step, steps), Mix(kFillTop.g, kFillBottom.g, step, steps),
           Mix(kFillTop.b, kFillBottom.b, step, steps)},
          255};
}

// Coverage-weighted average of the samples: the anti-aliased image with alpha.
Image Render(const Design& d) {
  Image image{d.size, std::vector<Rgba>(static_cast<size_t>(d.size * d.size))};
  constexpr int64_t kCount = int64_t{kSamples} * kSamples;
  for (int py = 0; py < d.size; ++py) {
    for (int px = 0; px < d.size; ++px) {
      int64_t covered = 0, r = 0, g = 0, b = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          // Sample centres at odd unit positions: (2 * index + 1) / 2 samples.
          const int64_t x = int64_t{px} * kUnitsPerPixel + 2 * sx + 1;
          const int64_t y = int64_t{py} * kUnitsPerPixel + 2 * sy + 1;
          const Rgba s = Sample(d, x, y);
          if (s.alpha == 0) continue;
          ++covered;
          r += s.colour.r;
          g += s.colour.g;
          b += s.colour.b;
        }
      }
      Rgba& out = image.pixels[static_cast<size_t>(py * d.size + px)];
      if (covered == 0) continue;
      const auto average = [&](int64_t sum) { return static_cast<int>((2 * sum + covered) / (2 * covered)); };
      out = {{average(r), average(g), average(b)},
             static_cast<int>((2 * 255 * covered + kCount) / (2 * kCount))};
    }
  }
  return image;
}

// Without alpha a pixel is either shown or not: at least half covered means shown, in
// its own colour, so the palette images keep the badge's outline rather than a fringe
// blended against a guessed background.
Image Threshold(const Image& image) {
  Image out = image;
  for (Rgba& p : out.pixels) p = p.alpha >= 128 ? Rgba{p.colour, 255} : Rgba{{0, 0, 0}, 0};
  return out;
}

struct Palette {
  std::array<Rgb, 256> colours{};
  int used = 1;  // entries 1 to used - 1 hold the image colours
};

// Index 0 is black and stands for every transparent pixel: under the AND mask the
// screen is XORed with it, which leaves the screen unchanged.
constexpr int kTransparentIndex = 0;

struct Box {
  std::vector<std::pair<Rgb, int64_t>> colours;  // colour, pixel count

  int Channel(const Rgb& c, int channel) const { return channel == 0 ? c.r : channel == 1 ? c.g : c.b; }
  int Range(int channel) const {
    int low = 255, high = 0;
    for (const auto& [c, n] : colours) {
      low = std::min(low, Channel(c, channel));
      high = std::max(high, Channel(c, channel));
    }
    return high - low;
  }
  int WidestChannel() const {
    int best = 0;
    for (int channel = 1; channel < 3; ++channel) {
      if (Range(channel) > Range(best)) best = channel;
    }
    return best;
  }
  Rgb Mean() const {
    int64_t total = 0, r = 0, g = 0, b = 0;
    for (const auto& [c, n] : colours) {
      total += n;
      r += c.r * n;
      g += c.g * n;
      b += c.b * n;
    }
    const auto average = [&](int64_t sum) { return static_cast<int>((2 * sum + total) / (2 * total)); };
    return {average(r), average(g), average(b)};
  }
};

// A median-cut palette for the opaque pixels of the given images: the box with the
// widest colour range is split at its pixel-weighted median until 255 boxes exist or
// none can be split; every box becomes one entry after the transparent black.
Palette MakePalette(const std::vector<Image>& images) {
  std::map<Rgb, int64_t> histogram;
  for (const Image& image : images) {
    for (const Rgba& p : image.pixels) {
      if (p.alpha != 0) ++histogram[p.colour];
    }
  }
  std::vector<Box> boxes{Box{{histogram.begin(), histogram.end()}}};
  while (boxes.size() < 255) {
    auto widest = boxes.end();
    int widestRange = 0;
    for (auto it = boxes.begin(); it != boxes.end(); ++it) {
      const int range = it->colours.size() > 1 ? it->Range(it->WidestChannel()) : 0;
      if (range > widestRange) {
        widest = it;
        widestRange = range;
      }
    }
    if (widest == boxes.end()) break;
    const int channel = widest->WidestChannel();
    std::vector<std::pair<Rgb, int64_t>> colours = std::move(widest->colours);
    std::stable_sort(colours.begin(), colours.end(), [&](const auto& a, const auto& b) {
      return widest->Channel(a.first, channel) < widest->Channel(b.first, channel);
    });
    int64_t total = 0;
    for (const auto& entry : colours) total += entry.second;
    // Split after the colour that carries the running count past half, but never
    // leave a side empty.
    size_t split = 1;
    for (int64_t running = 0; split < colours.size(); ++split) {
      running += colours[split - 1].second;
      if (2 * running >= total) break;
    }
    split = std::min(split, colours.size() - 1);
    widest->colours.assign(colours.begin(), colours.begin() + static_cast<std::ptrdiff_t>(split));
    boxes.push_back(Box{{colours.begin() + static_cast<std::ptrdiff_t>(split), colours.end()}});
  }

  std::vector<Rgb> entries;
  for (const Box& box : boxes) {
    if (!box.colours.empty()) entries.push_back(box.Mean());
  }
  std::sort(entries.begin(), entries.end());
  Palette palette;
  std::copy(entries.begin(), entries.end(), palette.colours.begin() + 1);
  palette.used = 1 + static_cast<int>(entries.size());
  return palette;
}

int NearestIndex(const Palette& palette, const Rgb& c) {
  int best = 1;
  int64_t bestDistance = INT64_MAX;
  for (int i = 1; i < palette.used; ++i) {
    const Rgb& entry = palette.colours[static_cast<size_t>(i)];
    const int64_t dr = c.r - entry.r, dg = c.g - entry.g, db = c.b - entry.b;
    const int64_t distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

class Writer {
 public:
  void Byte(int v) { bytes_.push_back(static_cast<uint8_t>(v)); }
  void Word(int v) {
    Byte(v & 0xFF);
    Byte((v >> 8) & 0xFF);
  }
  void Dword(uint32_t v) {
    Word(static_cast<int>(v & 0xFFFF));
    Word(static_cast<int>(v >> 16));
  }
  void Append(const std::vector<uint8_t>& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

constexpr int RowBytes(int bits) { return (bits + 31) / 32 * 4; }

// The AND mask, bottom row first: 1 where the pixel is fully transparent.
void WriteMask(Writer& w, const Image& image) {
  for (int y = image.size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(static_cast<size_t>(RowBytes(image.size)));
    for (int x = 0; x < image.size; ++x) {
      if (image.At(x, y).alpha == 0) row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    w.Append(row);
  }
}

// BITMAPINFOHEADER of an icon image: the height counts the colour rows and the mask rows.
void WriteHeader(Writer& w, int size, int bitCount) {
  w.Dword(40);
  w.Dword(static_cast<uint32_t>(size));
  w.Dword(static_cast<uint32_t>(2 * size));
  w.Word(1);
  w.Word(bitCount);
  w.Dword(0);  // BI_RGB
  w.Dword(static_cast<uint32_t>((RowBytes(size * bitCount) + RowBytes(size)) * size));
  w.Dword(0);
  w.Dword(0);
  w.Dword(0);  // the palette, if any, has all 2^bitCount entries
  w.Dword(0);
}

std::vector<uint8_t> EncodePalettised(const Image& image, const Palette& palette) {
  Writer w;
  WriteHeader(w, image.size, 8);
  for (const Rgb& c : palette.colours) {
    w.Byte(c.b);
    w.Byte(c.g);
    w.Byte(c.r);
    w.Byte(0);
  }
  for (int y = image.size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(static_cast<size_t>(RowBytes(image.size * 8)));
    for (int x = 0; x < image.size; ++x) {
      const Rgba& p = image.At(x, y);
      row[static_cast<size_t>(x)] =
          static_cast<uint8_t>(p.alpha == 0 ? kTransparentIndex : NearestIndex(palette, p.colour));
    }
    w.Append(row);
  }
  WriteMask(w, image);
  return w.Bytes();
}

std::vector<uint8_t> EncodeTrueColour(const Image& image) {
  Writer w;
  WriteHeader(w, image.size, 32);
  for (int y = image.size - 1; y >= 0; --y) {
    for (int x = 0; x < image.size; ++x) {
      // Fully transparent pixels are black too, for systems that draw with the mask.
      const Rgba& p = image.At(x, y);
      const Rgb c = p.alpha == 0 ? Rgb{0, 0, 0} : p.colour;
      w.Byte(c.b);
      w.Byte(c.g);
      w.Byte(c.r);
      w.Byte(p.alpha);
    }
  }
  WriteMask(w, image);
  return w.Bytes();
}

struct Entry {
  int size;
  int bitCount;
  std::vector<uint8_t> data;
};

std::vector<uint8_t> EncodeIco(const std::vector<Entry>& entries) {
  Writer w;
  w.Word(0);
  w.Word(1);  // icon, not cursor
  w.Word(static_cast<int>(entries.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
  for (const Entry& e : entries) {
    w.Byte(e.size);
    w.Byte(e.size);
    w.Byte(0);  // colour count: 0 whenever there are 256 or more
    w.Byte(0);
    w.Word(1);
    w.Word(e.bitCount);
    w.Dword(static_cast<uint32_t>(e.data.size()));
    w.Dword(offset);
    offset += static_cast<uint32_t>(e.data.size());
  }
  for (const Entry& e : entries) w.Append(e.data);
  return w.Bytes();
}

/// The complete .ico file: the three palette images, then the three with alpha.
std::vector<uint8_t> MakeIcon() {
  std::vector<Image> smooth, palettised;
  for (const Design& d : kDesigns) {
    smooth.push_back(Render(d));
    palettised.push_back(Threshold(smooth.back()));
  }
  const Palette palette = MakePalette(palettised);
  std::vector<Entry> entries;
  for (const Image& image : palettised) entries.push_back({image.size, 8, EncodePalettised(image, palette)});
  for (const Image& image : smooth) entries.push_back({image.size, 32, EncodeTrueColour(image)});
  return EncodeIco(entries);
}

// 8-bit RGBA, through the tests' PNG writer: at 48 pixels the file is 9 KB.
std::vector<uint8_t> EncodePng(const Image& image) {
  std::vector<uint8_t> samples;
  for (const Rgba& p : image.pixels) {
    for (const int v : {p.colour.r, p.colour.g, p.colour.b, p.alpha}) samples.push_back(static_cast<uint8_t>(v));
  }
  return png::Encode(image.size, image.size, 4, samples);
}

/// The PNG of the image with alpha at `size` pixels; empty if there is no such size.
std::vector<uint8_t> MakePng(int size) {
  for (const Design& d : kDesigns) {
    if (d.size == size) return EncodePng(Render(d));
  }
  return {};
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Reports the first difference between what the generator wrote and the checked-in file.
bool SameAs(const std::vector<uint8_t>& made, const std::string& path) {
  std::vector<uint8_t> expected;
  if (!ReadFile(path, expected)) {
    std::fprintf(stderr, "make_icon: cannot read %s\n", path.c_str());
    return false;
  }
  const auto [left, right] = std::mismatch(expected.begin(), expected.end(), made.begin(), made.end());
  if (left == expected.end() && right == made.end()) return true;
  const auto at = static_cast<long>(left - expected.begin());
  std::fprintf(stderr, "make_icon: %s (%zu bytes) differs from the generator's output (%zu bytes) at byte %ld",
               path.c_str(), expected.size(), made.size(), at);
  if (left != expected.end() && right != made.end()) {
    std::fprintf(stderr, ": checked in 0x%02X, generated 0x%02X", *left, *right);
  }
  std::fprintf(stderr, "\nRerun make_icon with that file as its output and commit the result.\n");
  return false;
}

}  // namespace
}  // namespace tarvik::icon

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const bool compare = args.size() == 3 && args[1] == "--compare-with";
  const bool png = args.size() == 3 && args[0] == "--png";
  if (args.size() != 1 && !compare && !png) {
    std::fprintf(stderr,
                 "usage: make_icon OUTPUT.ico [--compare-with CHECKED_IN.ico]\n"
                 "   or: make_icon --png SIZE OUTPUT.png   (SIZE 16, 32 or 48)\n");
    return 2;
  }
  const std::vector<uint8_t> icon =
      png ? tarvik::icon::MakePng(std::atoi(std::string(args[1]).c_str())) : tarvik::icon::MakeIcon();
  if (icon.empty()) {
    std::fprintf(stderr, "make_icon: no %s-pixel image; the sizes are 16, 32 and 48\n", std::string(args[1]).c_str());
    return 2;
  }
  const std::string output(args[png ? 2 : 0]);
  std::ofstream out(output, std::ios::binary);
  out.write(reinterpret_cast<const char*>(icon.data()), static_cast<std::streamsize>(icon.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "make_icon: cannot write %s\n", output.c_str());
    return 1;
  }
  if (compare && !tarvik::icon::SameAs(icon, std::string(args[2]))) return 1;
  return 0;
}
