// The id-number engine: 32-bit wrap-around arithmetic, unsigned decimal text, and the
// fold that turns an e-mail address into its MSN Messenger id number.
//
// Values are signed 32-bit integers whose bit patterns are read as unsigned; every
// operation here gives exactly the result of unsigned 32-bit arithmetic and never
// overflows a signed type. Nothing keeps state between calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik {

/// The low 32 bits of a + b.
int32_t AddWrapped(int32_t a, int32_t b);

/// The low 32 bits of 101 × a.
int32_t Times101(int32_t a);

/// The decimal text of n's 32 bits read as an unsigned number: "0" to "4294967295",
/// digits only, no leading zeros.
std::u16string UnsignedText(int32_t n);

/// The id number of an e-mail address, as decimal text: the address is lower-cased
/// with the system's rules, then each UTF-16 unit's ANSI character code is folded in
/// as h = h × 101 + code (mod 2^32), starting from 0. Any text is accepted as it is;
/// nothing is trimmed or validated, and the empty text gives "0".
std::u16string WorkOutIdNumber(std::u16string_view text);

}  // namespace tarvik
