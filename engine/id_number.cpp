#include "engine/id_number.h"

#include <algorithm>

#include "engine/ascii_run.h"
#include "engine/fold_step.h"

namespace tarvik {
namespace {

using detail::FoldStep;

// The fold proper, over units the codes take as they stand.
template <typename Unit>
uint32_t Fold(uint32_t h, const Unit* units, std::size_t count, text::LowerCodes& codes) {
  constexpr uint32_t kPower4 = detail::Power101(4);
  const auto code = [&codes](Unit unit) { return static_cast<uint32_t>(codes.Code(unit)); };
  std::size_t i = 0;
  // Four units at a time: h × 101^4 plus the fold of the four alone is the same sum,
  // but only one multiply-add per four units waits on the previous value.
  for (; count - i >= 4; i += 4) {
    const uint32_t four = FoldStep(FoldStep(FoldStep(code(units[i]), code(units[i + 1])), code(units[i + 2])),
                                   code(units[i + 3]));
    h = h * kPower4 + four;
  }
  for (; i < count; ++i) h = FoldStep(h, code(units[i]));
  return h;
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
