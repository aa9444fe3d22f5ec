#include "cli/id_tool.h"

#include <cstddef>
#include <istream>
#include <ostream>
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

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The engine speaks UTF-16, but its answers are decimal digits only.
std::string Narrow(const std::u16string& digits) { return std::string(digits.begin(), digits.end()); }

std::string IdNumber(const std::u16string& address) { return Narrow(WorkOutIdNumber(address)); }

bool WriteFailed(std::ostream& out, std::ostream& err) {
  if (out) return false;
  err << kProgram << ": cannot write the output\n";
  return true;
}

ExitStatus AnswerArguments(const std::vector<Argument>& arguments, const std::vector<std::size_t>& addresses,
                           std::ostream& out, std::ostream& err) {
  ExitStatus status = kSuccess;
  for (const std::size_t index : addresses) {
    const Argument& argument = arguments[index];
    if (!argument) {
      // The offset is lost with the bytes; the position is what the user can act on.
      err << kProgram << ": argument " << index + 1 << ": invalid UTF-8\n";
      status = kBadInput;
      continue;
    }
    out << IdNumber(*argument) << '\n';
  }
  out.flush();
  return WriteFailed(out, err) ? kBadInput : status;
}

ExitStatus AnswerLines(std::istream& in, std::ostream& out, std::ostream& err) {
  ExitStatus status = kSuccess;
  std::string line;
  for (std::size_t number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string_view bytes = line;
    // Editors on Windows like to start UTF-8 files with a byte-order mark; folding it
    // in would give the first address a wrong number without any warning.
    std::size_t skipped = 0;
    if (number == 1 && bytes.starts_with(kByteOrderMark)) {
      bytes.remove_prefix(kByteOrderMark.size());
      skipped = kByteOrderMark.size();
    }
    std::size_t offset = 0;
    const std::optional<std::u16string> address = DecodeUtf8(bytes, &offset);
    if (!address) {
      err << kProgram << ": line " << number << ": invalid UTF-8 at byte " << skipped + offset + 1 << '\n';
      status = kBadInput;
      continue;
    }
    out << IdNumber(*address) << '\n' << std::flush;
    if (WriteFailed(out, err)) return kBadInput;
  }
  if (in.bad()) {
    err << kProgram << ": cannot read the input\n";
    return kBadInput;
  }
  return status;
}

}  // namespace

ExitStatus RunIdTool(const std::vector<Argument>& arguments, std::istream& in, std::ostream& out,
                     std::ostream& err) {
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
      out << kUsage << std::flush;
      return WriteFailed(out, err) ? kBadInput : kSuccess;
    } else if (*argument == u"--version") {
      out << kProgram << ' ' << TARVIK_VERSION_SHORT << '\n' << std::flush;
      return WriteFailed(out, err) ? kBadInput : kSuccess;
    } else {
      err << kProgram << ": unknown option '" << EncodeUtf8(*argument) << "'\n"
          << "Try 'tarvik-id --help' for more information.\n";
      return kUsageError;
    }
  }
  // "tarvik-id --" names no address either, so it reads standard input like a bare call.
  if (addresses.empty()) return AnswerLines(in, out, err);
  return AnswerArguments(arguments, addresses, out, err);
}

}  // namespace tarvik::cli
