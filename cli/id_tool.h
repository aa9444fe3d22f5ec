// tarvik-id, the batch form of the "Work out" command: everything but the entry
// point, which differs between Windows and other systems (main.cpp).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::cli {

/// What the tool's process returns: the exit status.
enum ExitStatus : int {
  kSuccess = 0,
  kBadInput = 1,    // some address was not valid UTF-8, or input or output failed
  kUsageError = 2,  // an unknown option
};

/// One command-line argument after the program name, as UTF-16; empty when the
/// system handed over bytes that are not valid UTF-8.
using Argument = std::optional<std::u16string>;

/// Runs tarvik-id. Options come first in meaning wherever they stand: --help or
/// --version prints and stops, an unknown option is a usage error; "--" ends the
/// options and a lone "-" is an address. Each address argument gets its id number on
/// a line of `out`; with no address, `in` is read as UTF-8 lines instead and each
/// answer is flushed at once, so the tool can sit at the end of a pipe. `in` and
/// `out` are byte streams; lines end at "\n" with an optional "\r" before it, and the
/// output always uses "\n". Messages go to `err`.
ExitStatus RunIdTool(const std::vector<Argument>& arguments, std::istream& in, std::ostream& out,
                     std::ostream& err);

}  // namespace tarvik::cli
