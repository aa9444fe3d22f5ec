#include "cli/id_tool.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "cli/utf8.h"
#include "engine/id_number.h"
#include "tarvik/version.h"

namespace tarvik::cli {
namespace {

constexpr std::string_view kProgram = "tarvik-id";

constexpr std::string_view kUsage =
    "Usage: tarvik-id [--] [ADDRESS]...\n"
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
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "  --         treat every later argument as an address, even one starting with '-'\n"
    "\n"
    "Exit status: 0 if every address got its number, 1 if some input was not valid\n"
    "UTF-8 or could not be read or written, 2 on an unknown option.\n";

// Room for the buffers on the stack: a block of input, its units, a block of answers.
constexpr std::size_t kInputBlock = 64 * 1024;
constexpr std::size_t kUnitBlock = 16 * 1024;
constexpr std::size_t kOutputBlock = 16 * 1024;

// Decode takes at most as many bytes as leave room for their units plus one; below
// this much room the units are folded first, so a piece is never tiny.
constexpr std::size_t kMinUnitRoom = 64;

constexpr char16_t kByteOrderMark = 0xFEFF;

// True if no byte in [begin, end) has its high bit set. Reads nothing outside.
bool IsAscii(const char* begin, const char* end) {
  uint64_t bits = 0;
  if (end - begin >= 8) {
    // Whole words, and the last eight bytes again for what is left over.
    for (const char* word = begin; end - word >= 8; word += 8) {
      uint64_t eight;
      std::memcpy(&eight, word, sizeof eight);
      bits |= eight;
    }
    uint64_t last;
    std::memcpy(&last, end - 8, sizeof last);
    bits |= last;
  } else {
    for (const char* byte = begin; byte < end; ++byte) bits |= static_cast<unsigned char>(*byte);
  }
  return (bits & 0x8080808080808080u) == 0;
}

bool Write(Output& stream, std::string_view text) { return stream.Write(text.data(), text.size()); }

// Answers collected into blocks, so that a file of many lines costs few writes.
class AnswerBuffer {
 public:
  explicit AnswerBuffer(Output& out) : out_(out) {}

  void Put(std::string_view text) {
    if (kOutputBlock - size_ < text.size()) Flush();
    if (text.size() > kOutputBlock) {
      failed_ = failed_ || !Write(out_, text);
      return;
    }
    std::memcpy(bytes_ + size_, text.data(), text.size());
    size_ += text.size();
  }

  void PutNumber(uint32_t value) {
    if (kOutputBlock - size_ < kMaxUnsignedDigits + 1) Flush();
    size_ += UnsignedText(static_cast<int32_t>(value), bytes_ + size_);
    bytes_[size_++] = '\n';
  }

  /// Writes what is buffered; false once any write has failed.
  bool Flush() {
    if (size_ > 0 && !failed_) failed_ = !out_.Write(bytes_, size_);
    size_ = 0;
    return !failed_;
  }

 private:
  Output& out_;
  std::size_t size_ = 0;
  bool failed_ = false;
  char bytes_[kOutputBlock];
};

bool WriteFailed(AnswerBuffer& out, Output& err) {
  if (out.Flush()) return false;
  Write(err, std::string(kProgram) + ": cannot write the output\n");
  return true;
}

ExitStatus AnswerArguments(const std::vector<Argument>& arguments, const std::vector<std::size_t>& addresses,
                           AnswerBuffer& out, Output& err) {
  ExitStatus status = kSuccess;
  for (const std::size_t index : addresses) {
    const Argument& argument = arguments[index];
    if (!argument) {
      // The offset is lost with the bytes; the position is what the user can act on.
      if (!out.Flush()) break;  // keeps the message in its place among the answers
      Write(err, std::string(kProgram) + ": argument " + std::to_string(index + 1) + ": invalid UTF-8\n");
      status = kBadInput;
      continue;
    }
    std::u16string address = *argument;
    IdFold fold;
    fold.Add(address.data(), address.size());
    out.PutNumber(fold.Value());
  }
  return WriteFailed(out, err) ? kBadInput : status;
}

// Standard input as lines of UTF-8, each folded while its bytes arrive and answered
// at its end. Only the character being assembled, a CR that may be the start of CR LF
// and the fold carry over from one block to the next.
class LineReader {
 public:
  LineReader(Input& in, AnswerBuffer& out, Output& err) : in_(in), out_(out), err_(err) {}

  ExitStatus Run() {
    for (;;) {
      // Everything read so far is answered: what is buffered goes out before a read
      // that may wait, or a writer waiting for its answer would wait forever.
      if (!out_.Flush()) return CannotWrite();
      std::ptrdiff_t got = in_.Read(block_, kInputBlock);
      if (got < 0) {
        Write(err_, std::string(kProgram) + ": cannot read the input\n");
        return kBadInput;
      }
      if (got == 0) break;
      if (!Take(block_, static_cast<std::size_t>(got))) return CannotWrite();
    }
    // A last line without LF is still a line; a CR ending it is dropped as before LF.
    if (lineOpen_ && !EndLine()) return CannotWrite();
    return out_.Flush() ? status_ : CannotWrite();
  }

 private:
  bool Take(const char* p, std::size_t size) {
    const char* const end = p + size;
    if (crPending_) {
      crPending_ = false;
      if (*p != '\n') Feed("\r", 1);  // not before LF: an ordinary character
    }
    while (p < end) {
      const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (lf != nullptr) {
        const char* lineEnd = lf > p && lf[-1] == '\r' ? lf - 1 : lf;
        if (!lineOpen_ && IsAscii(p, lineEnd)) {
          // The common case, a whole line of ASCII in this block: there is no
          // character to assemble and no mark to skip, so the bytes fold as they stand.
          fold_.AddAscii(p, static_cast<std::size_t>(lineEnd - p));
          out_.PutNumber(fold_.Value());
          fold_.Restart();
          ++line_;
          atInputStart_ = false;
        } else {
          Feed(p, static_cast<std::size_t>(lineEnd - p));
          if (!EndLine()) return false;
        }
        p = lf + 1;
      } else {
        // A CR at the end of the block is held back until we know what follows it.
        crPending_ = end[-1] == '\r';
        Feed(p, static_cast<std::size_t>(end - p) - (crPending_ ? 1 : 0));
        lineOpen_ = true;
        p = end;
      }
    }
    return true;
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

  // Answers the line or reports it; false if the output failed.
  bool EndLine() {
    bool good = !bad_ && decoder_.Finish();
    if (good) {
      FoldUnits();
      out_.PutNumber(fold_.Value());
    } else {
      if (!out_.Flush()) return false;  // keeps the message in its place among the answers
      Write(err_, std::string(kProgram) + ": line " + std::to_string(line_) + ": invalid UTF-8 at byte " +
                      std::to_string(decoder_.ErrorOffset() + 1) + "\n");
      status_ = kBadInput;
    }
    atInputStart_ = false;
    ++line_;
    lineOpen_ = bad_ = false;
    units_ = 0;
    decoder_.Restart();
    fold_.Restart();
    return true;
  }

  ExitStatus CannotWrite() {
    Write(err_, std::string(kProgram) + ": cannot write the output\n");
    return kBadInput;
  }

  Input& in_;
  AnswerBuffer& out_;
  Output& err_;
  Utf8Decoder decoder_;
  IdFold fold_;
  ExitStatus status_ = kSuccess;
  uint64_t line_ = 1;
  std::size_t units_ = 0;    // decoded units not yet folded
  bool atInputStart_ = true; // no unit of the input folded yet
  bool lineOpen_ = false;    // bytes of a line without its LF so far
  bool crPending_ = false;   // the block ended in a CR, not yet fed
  bool bad_ = false;         // the line is ill-formed; the rest of it is skipped
  char block_[kInputBlock];
  char16_t unitBlock_[kUnitBlock];
};

}  // namespace

ExitStatus RunIdTool(const std::vector<Argument>& arguments, Input& in, Output& out, Output& err) {
  AnswerBuffer answers(out);
  std::vector<std::size_t> addresses;
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
      return WriteFailed(answers, err) ? kBadInput : kSuccess;
    } else if (*argument == u"--version") {
      answers.Put(std::string(kProgram) + ' ' + TARVIK_VERSION_SHORT + '\n');
      return WriteFailed(answers, err) ? kBadInput : kSuccess;
    } else {
      Write(err, std::string(kProgram) + ": unknown option '" + EncodeUtf8(*argument) + "'\n" +
                     "Try 'tarvik-id --help' for more information.\n");
      return kUsageError;
    }
  }
  // "tarvik-id --" names no address either, so it reads standard input like a bare call.
  if (!addresses.empty()) return AnswerArguments(arguments, addresses, answers, err);
  // Too big for some threads' stacks, and made once per run.
  const auto reader = std::make_unique<LineReader>(in, answers, err);
  return reader->Run();
}

}  // namespace tarvik::cli
