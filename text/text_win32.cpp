#include "text/text.h"

#include <windows.h>

namespace tarvik::text {
namespace {

// On Windows char16_t and wchar_t are both UTF-16 units, so texts cross into the API
// by reinterpreting the pointer, without a copy per call.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

// What Windows writes in place of a unit it cannot convert: the code pages' default '?'.
constexpr int32_t kSubstitute = '?';

}  // namespace

void LowerCaseInPlace(char16_t* units, std::size_t count) {
  // CharLowerBuff takes a DWORD count; a 32-bit program's texts never reach its limit,
  // but a piece larger than that is lowered in turns rather than cut short.
  while (count > 0) {
    const DWORD piece = count > MAXDWORD ? MAXDWORD : static_cast<DWORD>(count);
    CharLowerBuffW(reinterpret_cast<wchar_t*>(units), piece);
    units += piece;
    count -= piece;
  }
}

int32_t CharacterCode(char16_t unit) {
  const wchar_t wide = unit;
  unsigned char bytes[2];
  // No flags: Windows applies its best-fit mappings and '?' as it does for any
  // program, which is what the id number of a non-ASCII address has always used.
  const int count = WideCharToMultiByte(CP_ACP, 0, &wide, 1, reinterpret_cast<char*>(bytes),
                                        sizeof bytes, nullptr, nullptr);
  switch (count) {
    case 1:
      return bytes[0];
    case 2:
      // Lead byte high, read as a signed 16-bit value: double-byte codes are negative.
      return static_cast<int16_t>((bytes[0] << 8) | bytes[1]);
    default:
      // Only a code page with longer sequences (UTF-8 as the system code page) gets
      // here; such a unit has no code of one or two bytes.
      return kSubstitute;
  }
}

void LowerCodes::Prepare(char16_t* units, std::size_t count) { LowerCaseInPlace(units, count); }

int32_t LowerCodes::Fill(char16_t unit) {
  // The same per-unit conversion as CharacterCode, so a cached code cannot differ.
  Slot& slot = slots_[unit % kSlots];
  slot.code = static_cast<int16_t>(CharacterCode(unit));
  slot.unit = unit;
  return slot.code;
}

}  // namespace tarvik::text
