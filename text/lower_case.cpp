// The allocating convenience, apart from the in-place core, so that a program that
// only folds links no string code.
#include "text/text.h"

namespace tarvik::text {

std::u16string LowerCase(std::u16string_view text) {
  std::u16string lower(text);
  LowerCaseInPlace(lower.data(), lower.size());
  return lower;
}

}  // namespace tarvik::text
