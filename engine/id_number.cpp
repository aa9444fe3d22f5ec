#include "engine/id_number.h"

#include <algorithm>

#include "engine/ascii_run.h"

namespace tarvik {
namespace {

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
    const uint32_t c0 = static_cast<uint32_t>(codes.Code(units[i]));
    const uint32_t c1 = static_cast<uint32_t>(codes.Code(units[i + 1]));
    const uint32_t c2 = static_cast<uint32_t>(codes.Code(units[i + 2]));
    const uint32_t c3 = static_cast<uint32_t>(codes.Code(units[i + 3]));
    h = h * kPower4 + (c0 * kPower3 + c1 * kPower2 + c2 * 101u + c3);
  }
  auto value = static_cast<int32_t>(h);
  for (; i < count; ++i) value = AddWrapped(Times101(value), codes.Code(units[i]));
  return static_cast<uint32_t>(value);
}

}  // namespace

void IdFold::Add(char16_t* units, std::size_t count) {
  codes_.Prepare(units, count);
  if constexpr (text::LowerCodes::kNeedsPrepare) {
    h_ = Fold(h_, units, count, codes_);
  } else {
    // ASCII through the vector windows, the rest through the table: each unit past
    // ASCII and a stretch after it, so that a text of another script, with a space or
    // a dot here and there, does not go back to the windows for every unit of ASCII.
    constexpr std::size_t kStretch = 64;
    for (const char16_t *next = units, *const end = units + count; next != end;) {
      next = detail::FoldAsciiUnits(h_, next, end);
      const std::size_t stretch = std::min(static_cast<std::size_t>(end - next), kStretch);
      h_ = Fold(h_, next, stretch, codes_);
      next += stretch;
    }
  }
}

}  // namespace tarvik
