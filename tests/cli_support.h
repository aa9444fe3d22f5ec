// What tarvik-id's tests and its fuzz target feed the tool and its decoder with and
// read back from them in-process: input that arrives in pieces, output kept in memory,
// and UTF-8 bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/id_tool.h"
#include "cli/utf8.h"

namespace tarvik::cli::testing {

/// Input whose reads end where the test says: each read returns at most the bytes up
/// to the next cut (ascending offsets into the input), so lines, characters and CR LF
/// can be split at every place a pipe might split them.
class PiecesInput final : public Input {
 public:
  PiecesInput(std::string_view bytes, std::vector<std::size_t> cuts) : bytes_(bytes), cuts_(std::move(cuts)) {
    cuts_.push_back(bytes.size());
  }

  std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    while (cuts_[next_] <= done_ && next_ + 1 < cuts_.size()) ++next_;
    const std::size_t count = std::min({size, cuts_[next_] - done_, bytes_.size() - done_});
    std::memcpy(buffer, bytes_.data() + done_, count);
    done_ += count;
    return static_cast<std::ptrdiff_t>(count);
  }

 private:
  std::string_view bytes_;
  std::vector<std::size_t> cuts_;
  std::size_t next_ = 0, done_ = 0;
};

/// Output into a string.
class TextOutput final : public Output {
 public:
  bool Write(const char* bytes, std::size_t size) override {
    text.append(bytes, size);
    return true;
  }
  std::string text;
};

struct InProcessResult {
  int status = -1;
  std::string out, err;
};

/// Runs the tool on `input`, read in the pieces `cuts` makes.
inline InProcessResult RunInProcess(const std::vector<Argument>& arguments, std::string_view input,
                                    std::vector<std::size_t> cuts = {}) {
  PiecesInput in(input, std::move(cuts));
  TextOutput out, err;
  const int status = RunIdTool(arguments, in, out, err);
  return {status, std::move(out.text), std::move(err.text)};
}

/// Decodes `bytes` fed to one decoder in the pieces that `cuts` (ascending offsets)
/// makes, empty ones too, each from a buffer of its own exact size, so that reading past
/// a piece is caught under AddressSanitizer: the units, or nothing and the offset of the
/// first ill-formed sequence in `errorOffset`.
inline std::optional<std::u16string> DecodeInPieces(std::string_view bytes, std::vector<std::size_t> cuts,
                                                    std::size_t* errorOffset) {
  Utf8Decoder decoder;
  std::u16string units;
  cuts.push_back(bytes.size());
  for (std::size_t from = 0; const std::size_t to : cuts) {
    const std::vector<char> piece(bytes.begin() + from, bytes.begin() + to);
    std::vector<char16_t> room(piece.size() + 1);
    units.append(room.data(), decoder.Decode(piece.data(), piece.size(), room.data()));
    from = to;
  }
  if (decoder.Finish()) return units;
  *errorOffset = static_cast<std::size_t>(decoder.ErrorOffset());
  return std::nullopt;
}

/// The UTF-8 bytes of one code point.
inline std::string Utf8(char32_t codePoint) {
  char bytes[4];
  return std::string(bytes, AppendUtf8(codePoint, bytes));
}

}  // namespace tarvik::cli::testing
