// tarvik-id, the batch form of the "Work out" command: everything but the entry
// point, which differs between Windows and other systems (main.cpp).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::cli {

/// What the tool's process returns: the exit status.
enum ExitStatus : int {
  kSuccess = 0,
  kBadInput = 1,    // some address was not valid UTF-8, input or output failed, or memory ran out
  kNoMatch = 1,     // with --match: no address had the number (or input or output failed)
  kUsageError = 2,  // an unknown option, or --match without a number it can take
};

/// One command-line argument after the program name, as UTF-16; empty when the
/// system handed over bytes that are not valid UTF-8.
using Argument = std::optional<std::u16string>;

/// A byte stream the tool reads: standard input in the program, a buffer in tests.
class Input {
 public:
  /// Reads at most `size` bytes into `buffer`, waiting until at least one is there;
  /// returns how many it read, 0 at the end of the input, -1 if reading failed, with
  /// errno saying why.
  virtual std::ptrdiff_t Read(char* buffer, std::size_t size) = 0;

 protected:
  ~Input() = default;
};

/// A byte stream the tool writes: standard output or error, or a buffer in tests.
class Output {
 public:
  /// Writes all `size` bytes; false if that failed, with errno saying why (0 if the
  /// system gave no reason).
  virtual bool Write(const char* bytes, std::size_t size) = 0;

 protected:
  ~Output() = default;
};

/// Runs tarvik-id. Options come first in meaning wherever they stand: --help or
/// --version prints and stops, an unknown option is a usage error; "--" ends the
/// options and a lone "-" is an address. Each address argument gets its id number on
/// a line of `out`; with no address, `in` is read as UTF-8 lines instead. Lines end
/// at "\n" with an optional "\r" before it, and the output always uses "\n".
/// "--match NUMBER" prints, instead of numbers, the addresses whose id number is
/// NUMBER, as they were given. Messages go to `err`, with the system's reason when
/// a stream fails.
///
/// Lines are read in blocks and folded as they arrive, in constant memory whatever
/// their length (with --match, a line that spans blocks is kept until its end, so
/// memory grows with the longest). Answers are written in blocks, and whenever every
/// line read so far is answered and more input is to be read, so the tool can sit at
/// the end of an interactive pipe.
ExitStatus RunIdTool(const std::vector<Argument>& arguments, Input& in, Output& out, Output& err);

}  // namespace tarvik::cli
