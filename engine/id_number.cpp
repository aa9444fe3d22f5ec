#include "engine/id_number.h"

#include <iterator>

namespace tarvik {
namespace {

// Unsigned arithmetic wraps by definition; converting back to int32_t is modular
// since C++20, so the round trip reinterprets the bits and nothing overflows.
uint32_t Bits(int32_t value) { return static_cast<uint32_t>(value); }
int32_t FromBits(uint32_t bits) { return static_cast<int32_t>(bits); }

constexpr uint32_t kPower2 = 101u * 101u;
constexpr uint32_t kPower3 = kPower2 * 101u;
constexpr uint32_t kPower4 = kPower3 * 101u;

// The fold proper, over units the codes take as they stand.
template <typename Unit>
uint32_t Fold(uint32_t h, const Unit* units, std::size_t count, text::LowerCodes& codes) {
  std::size_t i = 0;
  // Four units at a time: h × 101^4 + c0 × 101^3 + c1 × 101^2 + c2 × 101 + c3 is the
  // same sum, but only one multiply-add per four units waits on the previous value.
  for (; count - i >= 4; i += 4) {
    const uint32_t c0 = Bits(codes.Code(units[i])), c1 = Bits(codes.Code(units[i + 1]));
    const uint32_t c2 = Bits(codes.Code(units[i + 2])), c3 = Bits(codes.Code(units[i + 3]));
    h = h * kPower4 + (c0 * kPower3 + c1 * kPower2 + c2 * 101u + c3);
  }
  for (; i < count; ++i) h = h * 101u + Bits(codes.Code(units[i]));
  return h;
}

}  // namespace

int32_t AddWrapped(int32_t a, int32_t b) { return FromBits(Bits(a) + Bits(b)); }

int32_t Times101(int32_t a) { return FromBits(Bits(a) * 101u); }

void IdFold::Add(char16_t* units, std::size_t count) {
  codes_.Prepare(units, count);
  h_ = Fold(h_, units, count, codes_);
}

void IdFold::AddAscii(const char* bytes, std::size_t count) {
  if constexpr (!text::LowerCodes::kNeedsPrepare) {
    h_ = Fold(h_, reinterpret_cast<const unsigned char*>(bytes), count, codes_);
  } else {
    // The system lowers UTF-16 only: widen a piece at a time.
    char16_t units[256];
    while (count > 0) {
      const std::size_t piece = count < std::size(units) ? count : std::size(units);
      for (std::size_t i = 0; i < piece; ++i) units[i] = static_cast<unsigned char>(bytes[i]);
      Add(units, piece);
      bytes += piece;
      count -= piece;
    }
  }
}

const char* IdFold::AddAsciiRun(const char* bytes, const char* end) {
  uint32_t h = h_;
  for (; bytes != end; ++bytes) {
    const auto byte = static_cast<unsigned char>(*bytes);
    if (byte == '\n' || byte == '\r' || byte >= 0x80) break;
    h = h * 101u + (static_cast<unsigned>(byte - 'A') < 26u ? byte + ('a' - 'A') : byte);
  }
  h_ = h;
  return bytes;
}

}  // namespace tarvik
