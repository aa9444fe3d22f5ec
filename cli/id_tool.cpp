#include "cli/id_tool.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "cli/utf8.h"
#include "engine/id_number.h"
#include "tarvik/version.h"

namespace tarvik::cli {
namespace {

constexpr std::string_view kProgram = "tarvik-id";

// The option list below is also the manual page's; cli_test checks that they agree.
constexpr std::string_view kUsage =
    "Usage: tarvik-id [--] [ADDRESS]...\n"
    "   or: tarvik-id --match NUMBER [--] [ADDRESS]...\n"
    "   or: tarvik-id --help | --version\n"
    "\n"
    "Prints the MSN Messenger id number of each e-mail ADDRESS, one per line.\n"
    "With no ADDRESS, reads addresses from standard input, one per line, and\n"
    "answers each line as soon as it is read.\n"
    "\n"
    "Input is UTF-8. Lines end with LF or CR LF; a byte-order mark at the start is\n"
    "skipped; an empty line gives 0. A line or argument that is not valid UTF-8 gets\n"
    "no number and a message on standard error; the others are still answered.\n"
    "\n"
    "  --match NUMBER  print, instead of numbers, each address whose id number is\n"
    "                  NUMBER, as it was given; NUMBER is written as tarvik-id\n"
    "                  prints it: digits only, 0 to 4294967295, no leading zero\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n"
    "  --              treat every later argument as an address, even one starting\n"
    "                  with '-'\n"
    "\n"
    "Example: which of these addresses has the id number 999494?\n"
    "  tarvik-id --match 999494 abc xyz ABC    prints abc and ABC\n"
    "\n"
    "Exit status: 0 if every address got its number, 1 if some input was not valid\n"
    "UTF-8 or could not be read or written, 2 on an unknown option or a bad NUMBER.\n"
    "With --match: 0 if some address matched, 1 if none did or a stream failed.\n";

// Room for the buffers: a block of input, its units, a block of answers, a message.
constexpr std::size_t kInputBlock = 64 * 1024;
constexpr std::size_t kUnitBlock = 16 * 1024;
constexpr std::size_t kOutputBlock = 16 * 1024;
constexpr std::size_t kMessageBlock = 512;

// Decode takes at most as many bytes as leave room for their units plus one; below
// this much room the units are folded first, so a piece is never tiny.
constexpr std::size_t kMinUnitRoom = 64;

constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Text collected into blocks, so that a file of many lines costs few writes and a
// message goes out in one piece. Nothing here allocates.
template <std::size_t kSize>
class BlockWriter {
 public:
  explicit BlockWriter(Output& out) : out_(out) {}

  BlockWriter& Put(std::string_view text) {
    if (kSize - size_ < text.size()) Flush();
    if (text.size() > kSize) {
      Send(text.data(), text.size());
    } else if (!text.empty()) {  // an empty view may have no data to copy from
      std::memcpy(bytes_ + size_, text.data(), text.size());
      size_ += text.size();
    }
    return *this;
  }

  // UTF-16 as UTF-8, a piece at a time; a surrogate pair is never cut in two.
  BlockWriter& PutUtf16(std::u16string_view text) {
    constexpr std::size_t kPiece = 256;
    char bytes[Utf8Room(kPiece + 1)];
    while (!text.empty()) {
      std::size_t take = std::min(text.size(), kPiece);
      if (take < text.size() && text[take - 1] >= 0xD800 && text[take - 1] <= 0xDBFF) ++take;
      Put(std::string_view(bytes, EncodeUtf8(std::u16string_view(text.data(), take), bytes)));
      text.remove_prefix(take);
    }
    return *this;
  }

  // A line or argument number, which may pass 32 bits: nine digits at a time, each
  // piece after the first written plus 10^9 without that leading 1, which keeps its
  // zeros. Only messages have counts, so the little code there is stays out of the way.
  [[gnu::cold]] BlockWriter& PutCount(uint64_t n) {
    constexpr uint32_t kPiece = 1000000000;
    const bool after = n >= kPiece;
    if (after) PutCount(n / kPiece);
    char digits[kMaxUnsignedDigits];
    const auto piece = static_cast<uint32_t>(n % kPiece + (after ? kPiece : 0));
    const std::size_t length = UnsignedText(static_cast<int32_t>(piece), digits);
    return Put(std::string_view(digits + after, length - after));
  }

  // ": " and the system's reason, when it gave one.
  BlockWriter& PutReason(int error) {
    if (error != 0) Put(": ").Put(std::strerror(error));
    return *this;
  }

  // An id number on a line of its own: what a file of addresses is answered with.
  void PutAnswer(uint32_t value) {
    if (kSize - size_ < kMaxUnsignedDigits + 1) Flush();
    size_ += UnsignedText(static_cast<int32_t>(value), bytes_ + size_);
    bytes_[size_++] = '\n';
  }

  /// Writes what is buffered; false once any write has failed.
  bool Flush() {
    if (size_ > 0) Send(bytes_, size_);
    size_ = 0;
    return !failed_;
  }

  /// The errno of the first failed write; 0 if none failed or the system said nothing.
  int Error() const { return error_; }

 private:
  void Send(const char* bytes, std::size_t size) {
    if (failed_) return;
    errno = 0;
    failed_ = !out_.Write(bytes, size);
    if (failed_) error_ = errno;
  }

  Output& out_;
  std::size_t size_ = 0;
  bool failed_ = false;
  int error_ = 0;
  char bytes_[kSize];
};

using Answers = BlockWriter<kOutputBlock>;
using Message = BlockWriter<kMessageBlock>;

ExitStatus CannotWrite(const Answers& out, Output& err) {
  Message(err).Put(kProgram).Put(": cannot write the output").PutReason(out.Error()).Put("\n").Flush();
  return kBadInput;
}

// "tarvik-id: <before>'<quoted>'<after>" and where to look for help.
ExitStatus UsageError(Output& err, std::string_view before, std::u16string_view quoted, std::string_view after = {}) {
  Message(err)
      .Put(kProgram)
      .Put(": ")
      .Put(before)
      .Put("'")
      .PutUtf16(quoted)
      .Put("'")
      .Put(after)
      .Put("\nTry 'tarvik-id --help' for more information.\n")
      .Flush();
  return kUsageError;
}

// The number --match takes, spelt as the tool prints id numbers: digits only, no sign,
// space or leading zero, at most 4294967295. One spelling per number keeps a typo
// from matching quietly.
std::optional<uint32_t> ParseIdNumber(std::u16string_view text) {
  if (text.empty() || text.size() > kMaxUnsignedDigits || (text[0] == u'0' && text.size() > 1)) return std::nullopt;
  uint64_t value = 0;
  for (const char16_t digit : text) {
    if (digit < u'0' || digit > u'9') return std::nullopt;
    value = value * 10 + (digit - u'0');
  }
  if (value > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(value);
}

// A run answers its arguments once, a few at most, so this is built for size (cold):
// the speed that matters is the line reader's.
[[gnu::cold]] ExitStatus AnswerArguments(const std::vector<Argument>& arguments,
                                         const std::vector<std::size_t>& addresses,
                                         const std::optional<uint32_t>& match, Answers& out, Output& err) {
  ExitStatus status = kSuccess;
  bool matched = false;
  // The fold lower-cases in place, so each argument is worked out in a copy, in room
  // for the longest.
  std::size_t longest = 0;
  for (const std::size_t index : addresses) {
    if (arguments[index]) longest = std::max(longest, arguments[index]->size());
  }
  const auto units = std::make_unique_for_overwrite<char16_t[]>(longest);
  IdFold fold;
  for (const std::size_t index : addresses) {
    const Argument& argument = arguments[index];
    if (!argument) {
      // The offset is lost with the bytes; the position is what the user can act on.
      if (!out.Flush()) break;  // keeps the message in its place among the answers
      Message(err).Put(kProgram).Put(": argument ").PutCount(index + 1).Put(": invalid UTF-8\n").Flush();
      status = kBadInput;
      continue;
    }
    std::copy(argument->begin(), argument->end(), units.get());
    char digits[kMaxUnsignedDigits];
    const std::size_t length = WorkOutIdNumber(units.get(), argument->size(), fold, digits);
    if (!match) {
      out.Put(std::string_view(digits, length)).Put("\n");
    } else if (fold.Value() == *match) {
      out.PutUtf16(*argument).Put("\n");
      matched = true;
    }
  }
  if (!out.Flush()) return CannotWrite(out, err);
  if (match) return matched ? kSuccess : kNoMatch;
  return status;
}

// Standard input as lines of UTF-8, each folded while its bytes arrive and answered
// at its end. A line is folded straight from the block, in one pass that finds its
// end, checks for ASCII and folds, until its first byte outside ASCII; from there on
// it is decoded to units. Only the fold, the character being assembled and a CR that
// may be the start of CR LF carry over from one block to the next, and with --match
// the bytes of an unfinished line.
class LineReader {
 public:
  LineReader(Input& in, Answers& out, Output& err, const std::optional<uint32_t>& match)
      : in_(in), out_(out), err_(err), match_(match) {}

  ExitStatus Run() {
    for (;;) {
      // Everything read so far is answered: what is buffered goes out before a read
      // that may wait, or a writer waiting for its answer would wait forever.
      if (!out_.Flush()) return CannotWrite(out_, err_);
      errno = 0;
      const std::ptrdiff_t got = in_.Read(block_, kInputBlock);
      if (got < 0) {
        Message(err_).Put(kProgram).Put(": cannot read the input").PutReason(errno).Put("\n").Flush();
        return kBadInput;
      }
      if (got == 0) break;
      if (!Take(block_, block_ + got)) return CannotWrite(out_, err_);
    }
    // A last line without LF is still a line; a CR ending it is dropped as before LF.
    if (lineOpen_ && !EndLine(nullptr, nullptr)) return CannotWrite(out_, err_);
    if (!out_.Flush()) return CannotWrite(out_, err_);
    if (match_) return matched_ ? kSuccess : kNoMatch;
    return status_;
  }

 private:
  // False if the output failed.
  bool Take(const char* p, const char* const end) {
    if (crPending_) {
      crPending_ = false;
      if (*p != '\n') {
        if (match_) held_.push_back('\r');
        AddInnerCr();
      }
    }
    const char* lineStart = p;
    while (p < end) {
      if (!decoding_) {
        const char* const stop = fold_.AddAsciiRun(p, end);
        if (stop != p) atInputStart_ = false;
        asciiBytes_ += static_cast<uint64_t>(stop - p);
        p = stop;
        if (p == end) break;
        if (*p == '\n' || (*p == '\r' && end - p > 1 && p[1] == '\n')) {
          if (match_) {
            if (!EndLine(lineStart, p)) return false;
          } else {
            // The common case, a line of ASCII: nothing to decode, report or keep.
            out_.PutAnswer(fold_.Value());
            NextLine();
          }
          p += *p == '\n' ? 1 : 2;
          lineStart = p;
          continue;
        }
        if (*p == '\r') {
          // At the end of the block it is held back until we know what follows it.
          ++p;
          if (p == end) crPending_ = true;
          else AddInnerCr();
          continue;
        }
        decoding_ = true;  // the first byte outside ASCII: the rest of the line is decoded
      }
      const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (lf == nullptr) {
        crPending_ = end[-1] == '\r';
        Feed(p, static_cast<std::size_t>(end - p) - (crPending_ ? 1 : 0));
        break;
      }
      const char* lineEnd = lf > p && lf[-1] == '\r' ? lf - 1 : lf;
      Feed(p, static_cast<std::size_t>(lineEnd - p));
      if (!EndLine(lineStart, lineEnd)) return false;
      p = lf + 1;
      lineStart = p;
    }
    if (lineStart < end) {
      lineOpen_ = true;
      if (match_) held_.insert(held_.end(), lineStart, end - (crPending_ ? 1 : 0));
    }
    return true;
  }

  // A CR not before LF: an ordinary character of the line.
  void AddInnerCr() {
    if (decoding_) {
      Feed("\r", 1);
    } else {
      fold_.AddAscii("\r", 1);
      atInputStart_ = false;
      ++asciiBytes_;
    }
  }

  void Feed(const char* bytes, std::size_t size) {
    while (size > 0 && !bad_) {
      if (kUnitBlock - units_ < kMinUnitRoom) FoldUnits();
      const std::size_t piece = std::min(size, kUnitBlock - units_ - 1);
      units_ += decoder_.Decode(bytes, piece, unitBlock_ + units_);
      bytes += piece;
      size -= piece;
      bad_ = decoder_.Failed();
    }
  }

  void FoldUnits() {
    char16_t* units = unitBlock_;
    std::size_t count = units_;
    // Editors on Windows like to start UTF-8 files with a byte-order mark; folding it
    // in would give the first address a wrong number without any warning. Only the
    // very start of the input is such a mark; later it is a character like any other.
    if (atInputStart_ && count > 0) {
      atInputStart_ = false;
      if (units[0] == kByteOrderMark) ++units, --count;
    }
    fold_.Add(units, count);
    units_ = 0;
  }

  // Answers the line, reports it, or with --match prints it if it has the number; the
  // line's last bytes are [lineStart, lineEnd) of the block. False if the output failed.
  bool EndLine(const char* lineStart, const char* lineEnd) {
    bool good = true;
    if (decoding_) {
      good = !bad_ && decoder_.Finish();
      if (good) FoldUnits();
    }
    if (!good) {
      if (!out_.Flush()) return false;  // keeps the message in its place among the answers
      Message(err_)
          .Put(kProgram)
          .Put(": line ")
          .PutCount(line_)
          .Put(": invalid UTF-8 at byte ")
          .PutCount(asciiBytes_ + decoder_.ErrorOffset() + 1)
          .Put("\n")
          .Flush();
      status_ = kBadInput;
    } else if (!match_) {
      out_.PutAnswer(fold_.Value());
    } else if (fold_.Value() == *match_) {
      std::string_view line(lineStart, static_cast<std::size_t>(lineEnd - lineStart));
      if (!held_.empty()) {
        held_.insert(held_.end(), lineStart, lineEnd);
        line = std::string_view(held_.data(), held_.size());
      }
      // The mark the fold skipped is no part of the address either.
      if (line_ == 1 && line.starts_with(kUtf8ByteOrderMark)) line.remove_prefix(kUtf8ByteOrderMark.size());
      out_.Put(line).Put("\n");
      matched_ = true;
    }
    if (decoding_) {
      decoding_ = bad_ = false;
      units_ = 0;
      decoder_.Restart();
    }
    held_.clear();
    NextLine();
    return true;
  }

  void NextLine() {
    atInputStart_ = false;
    ++line_;
    lineOpen_ = false;
    asciiBytes_ = 0;
    fold_.Restart();
  }

  Input& in_;
  Answers& out_;
  Output& err_;
  const std::optional<uint32_t> match_;
  Utf8Decoder decoder_;
  IdFold fold_;
  ExitStatus status_ = kSuccess;
  uint64_t line_ = 1;
  uint64_t asciiBytes_ = 0;   // bytes of the line folded before any was decoded
  std::size_t units_ = 0;     // decoded units not yet folded
  bool atInputStart_ = true;  // no unit of the input folded yet
  bool lineOpen_ = false;     // bytes of a line without its LF so far
  bool crPending_ = false;    // the block ended in a CR, not yet taken
  bool decoding_ = false;     // the line has a byte outside ASCII; the rest is decoded
  bool bad_ = false;          // the line is ill-formed; the rest of it is skipped
  bool matched_ = false;      // with --match: some line had the number
  std::vector<char> held_;    // with --match: the bytes of the line from earlier blocks
  char block_[kInputBlock];
  char16_t unitBlock_[kUnitBlock];
};

}  // namespace

ExitStatus RunIdTool(const std::vector<Argument>& arguments, Input& in, Output& out, Output& err) {
  Answers answers(out);
  std::vector<std::size_t> addresses;
  std::optional<uint32_t> match;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const Argument& argument = arguments[i];
    const bool isOption = !optionsEnded && argument && argument->size() > 1 && argument->front() == u'-';
    if (!isOption) {
      addresses.push_back(i);
    } else if (*argument == u"--") {
      optionsEnded = true;
    } else if (*argument == u"--help") {
      answers.Put(kUsage);
      return answers.Flush() ? kSuccess : CannotWrite(answers, err);
    } else if (*argument == u"--version") {
      answers.Put(kProgram).Put(" " TARVIK_VERSION_SHORT "\n");
      return answers.Flush() ? kSuccess : CannotWrite(answers, err);
    } else if (*argument == u"--match") {
      if (match) return UsageError(err, "option ", *argument, " is given twice");
      if (++i == arguments.size()) return UsageError(err, "option ", *argument, " needs a NUMBER");
      const Argument& number = arguments[i];
      if (number) match = ParseIdNumber(*number);
      if (!match) {
        return UsageError(err, "--match takes an id number from 0 to 4294967295 in plain digits, not ",
                          number.value_or(u"\uFFFD"));
      }
    } else {
      return UsageError(err, "unknown option ", *argument);
    }
  }
  // "tarvik-id --" names no address either, so it reads standard input like a bare call.
  if (!addresses.empty()) return AnswerArguments(arguments, addresses, match, answers, err);
  // Too big for some threads' stacks, and made once per run.
  const auto reader = std::make_unique<LineReader>(in, answers, err, match);
  return reader->Run();
}

}  // namespace tarvik::cli
