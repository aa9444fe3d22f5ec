// UTF-8 to and from UTF-16, strictly: the id number folds UTF-16 units, and a byte
// sequence that is not well-formed UTF-8 has no units to fold, so it is refused
// rather than guessed at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik::cli {

/// Decodes well-formed UTF-8 (the byte sequences of Unicode's table of well-formed
/// UTF-8) into UTF-16, fed in pieces that may split a character anywhere; characters
/// above U+FFFF become a surrogate pair. Refuses overlong forms, encoded surrogates
/// (U+D800 to U+DFFF), code points above U+10FFFF, sequences cut short and stray
/// continuation bytes. U+0000 and a byte-order mark are ordinary characters here.
/// Holds no more than one character's state; never allocates.
class Utf8Decoder {
 public:
  /// Decodes the next `size` bytes of the text into `units`, which has room for
  /// size + 1 units (a character begun in an earlier piece may end in this one);
  /// returns how many units it wrote. Reads exactly [bytes, bytes + size). After an
  /// ill-formed sequence it writes nothing more until Restart.
  std::size_t Decode(const char* bytes, std::size_t size, char16_t* units);

  /// Ends the text: true if all of it was well-formed, false if some sequence was
  /// ill-formed, including one cut short by the end.
  bool Finish();

  /// True once an ill-formed sequence was met; one merely unfinished is not yet.
  bool Failed() const { return failed_; }

  /// After a false Finish or a true Failed: the offset, from the start of the text, of the first byte
  /// of the first ill-formed sequence.
  uint64_t ErrorOffset() const { return errorOffset_; }

  /// Starts a new text.
  void Restart() { *this = Utf8Decoder(); }

 private:
  void Fail(uint64_t offset);

  uint64_t offset_ = 0;          // bytes of the text before the current piece
  uint64_t sequenceStart_ = 0;   // where the character being completed began
  uint64_t errorOffset_ = 0;
  char32_t codePoint_ = 0;       // payload bits gathered so far
  int missing_ = 0;              // continuation bytes still to come
  unsigned char low_ = 0, high_ = 0;  // the range allowed for the next byte
  bool failed_ = false;
};

/// Decodes a whole text with Utf8Decoder. On an ill-formed sequence returns nothing
/// and, if errorOffset is given, stores there the offset of its first byte.
std::optional<std::u16string> DecodeUtf8(std::string_view bytes, std::size_t* errorOffset = nullptr);

/// Writes the UTF-8 bytes of a code point (at most four; a surrogate's three as they
/// would be) at `out`; returns the end of what it wrote.
char* AppendUtf8(char32_t codePoint, char* out);

/// Room EncodeUtf8 needs for `units` UTF-16 units: a pair takes four bytes, any
/// other unit at most three.
constexpr std::size_t Utf8Room(std::size_t units) { return 3 * units; }

/// Encodes UTF-16 as UTF-8 at `out`, which has Utf8Room(text.size()) bytes; returns how
/// many it wrote. An unpaired surrogate, which UTF-8 cannot carry, becomes U+FFFD;
/// nothing else is altered, so well-formed UTF-8 decoded and encoded again is the
/// same bytes.
std::size_t EncodeUtf8(std::u16string_view text, char* out);

}  // namespace tarvik::cli
