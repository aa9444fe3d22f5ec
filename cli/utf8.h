// UTF-8 to and from UTF-16, strictly: the id number folds UTF-16 units, and a byte
// sequence that is not well-formed UTF-8 has no units to fold, so it is refused
// rather than guessed at.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik::cli {

/// Decodes well-formed UTF-8 (the byte sequences of Unicode's table of well-formed
/// UTF-8) into UTF-16; characters above U+FFFF become a surrogate pair. Refuses
/// overlong forms, encoded surrogates (U+D800 to U+DFFF), code points above U+10FFFF,
/// sequences cut short and stray continuation bytes: then it returns nothing and, if
/// errorOffset is given, stores there the offset of the first byte of the first
/// ill-formed sequence. U+0000 and a byte-order mark are ordinary characters here.
std::optional<std::u16string> DecodeUtf8(std::string_view bytes, std::size_t* errorOffset = nullptr);

/// Encodes UTF-16 as UTF-8 for messages. An unpaired surrogate, which UTF-8 cannot
/// carry, becomes U+FFFD; nothing else is altered.
std::string EncodeUtf8(std::u16string_view text);

}  // namespace tarvik::cli
