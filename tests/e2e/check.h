// Checks in the manner of Wine's conformance tests: ok(condition, format, ...) reports a
// failure with its own message and carries on, so one run shows every difference.
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

/// A check this Wine cannot pass, as Wine's todo_wine marks one: under Wine a failure is
/// reported as an expected gap with its reason, and a pass fails, so that the marker is
/// removed; wherever the run is not under Wine, it is an ordinary check.
bool Gap(bool passed, const char* file, int line, const char* reason);

/// Prints a line that is neither a pass nor a failure (timings, skipped checks).
void Note(const char* format, ...) TARVIK_PRINTF_LIKE(1, 2);

/// Number of checks run and of failures so far.
int CheckCount();
int FailureCount();

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

#define gap(condition, reason) ::tarvik::e2e::Gap(static_cast<bool>(condition), __FILE__, __LINE__, reason)

// The condition is evaluated first and the message only on failure, so the message
// shows the state that made the check fail.
#define ok(condition, ...) \
  (static_cast<bool>(condition) ? ::tarvik::e2e::Pass() : ::tarvik::e2e::Fail(__FILE__, __LINE__, __VA_ARGS__))
