// Checks in the manner of Wine's conformance tests: ok(condition, format, ...) reports a
// failure with its own message and carries on, so one run shows every difference;
// todo_wine(reason, condition, format, ...) marks what this Wine cannot answer yet.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

#if defined(__GNUC__)
#define TARVIK_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define TARVIK_PRINTF_LIKE(f, a)
#endif

namespace tarvik::e2e {

/// Record one passed check (true), or one failed check with the context stack and the
/// formatted message (false), so that a caller can skip checks that depend on it.
bool Pass();
bool Fail(const char* file, int line, const char* format, ...) TARVIK_PRINTF_LIKE(3, 4);

/// A check that this Wine cannot pass. Under Wine a false condition is counted as an
/// expected gap and printed with its reason, and a true one fails, so that the marker is
/// removed; elsewhere it is an ordinary check.
bool Gap(bool passed, const char* reason, const char* file, int line, const char* format, ...)
    TARVIK_PRINTF_LIKE(5, 6);

/// Whether this runs under Wine, unless TreatAsNotWine() was called (or TARVIK_NOT_WINE=1
/// is set): then gaps fail as they would on Windows.
bool UnderWine();
void TreatAsNotWine();

/// Prints a line that is neither a pass nor a failure (timings, preconditions).
void Note(const char* format, ...) TARVIK_PRINTF_LIKE(1, 2);

/// Number of checks run, of failures and of expected gaps so far.
int CheckCount();
int FailureCount();
int GapCount();

/// A line naming what the following checks are about ("Label3", "input \"abc\""),
/// printed in front of every failure while the owner is alive.
class Context {
 public:
  explicit Context(const char* format, ...) TARVIK_PRINTF_LIKE(2, 3);
  ~Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
};

/// UTF-16 to UTF-8, for messages.
std::string Utf8(const std::wstring& text);

/// A string for messages: quoted, control characters escaped, long texts shortened.
std::string Quoted(const std::wstring& text);

}  // namespace tarvik::e2e

// The condition is evaluated first and the message only on failure, so the message
// shows the state that made the check fail.
#define ok(condition, ...) \
  (static_cast<bool>(condition) ? ::tarvik::e2e::Pass() : ::tarvik::e2e::Fail(__FILE__, __LINE__, __VA_ARGS__))
#define todo_wine(reason, condition, ...) \
  ::tarvik::e2e::Gap(static_cast<bool>(condition), reason, __FILE__, __LINE__, __VA_ARGS__)
