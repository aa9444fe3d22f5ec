// The platform's text operations that the id number depends on: lower-casing and the
// ANSI character code. Everything else about text is the standard library's.
//
// On Windows both come from the system (its locale's casing, its ANSI code page):
// text_win32.cpp, the one file here that includes <windows.h>. On other systems they
// behave as a Western Windows system with code page 1252 does, from tables dumped from
// the Windows API (tools/dump_text_tables.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// LowerCodes, the character codes of lower-cased units for the fold, as each platform
// has them: the same interface, one header each.
#ifdef _WIN32
#include "text/lower_codes_win32.h"
#else
#include "text/lower_codes_portable.h"
#endif

namespace tarvik::text {

/// Lower-cases units in place with the system's rules, unit for unit, so the length
/// never changes and a text may be lower-cased in pieces split anywhere.
void LowerCaseInPlace(char16_t* units, std::size_t count);

/// The text lower-cased unit by unit with the system's rules; same length as the input.
std::u16string LowerCase(std::u16string_view text);

/// The code of one UTF-16 unit in the system's ANSI code page, as a signed 16-bit
/// value widened with its sign: 0 to 255 for a single byte; lead × 256 + trail, read
/// as signed, for a double-byte character. A unit the code page cannot represent
/// gets the system's substitute (a best-fit letter or '?', 63).
int32_t CharacterCode(char16_t unit);

}  // namespace tarvik::text
