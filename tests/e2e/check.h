// Checks in the manner of Wine's conformance tests: ok(condition, format, ...) reports a
// failure with its own message and carries on, so one run shows every difference;
// todo_wine(reason, condition, format, ...) marks what this Wine cannot answer yet.
// Messages are printf formats in which a std::string fills a %s as it is and a wide
// text fills it quoted, so that a failing text shows where it begins and ends.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

namespace tarvik::e2e {

/// UTF-16 to UTF-8, for messages.
std::string Utf8(std::wstring_view text);

/// A string for messages: quoted, control characters escaped, long texts shortened.
std::string Quoted(std::wstring_view text);

/// The format filled in by vsnprintf.
std::string Printf(const char* format, ...);

/// The format filled in with the arguments as the messages take them (see above).
template <typename... Args>
std::string Say(const char* format, const Args&... args) {
  [[maybe_unused]] const auto shown = [](const auto& arg) -> decltype(auto) {
    if constexpr (std::is_convertible_v<decltype(arg), std::wstring_view>) return Quoted(arg);
    else return (arg);
  };
  [[maybe_unused]] const auto passed = [](const auto& arg) {
    if constexpr (std::is_same_v<std::decay_t<decltype(arg)>, std::string>) return arg.c_str();
    else return arg;
  };
  return Printf(format, passed(shown(args))...);
}

/// Record one passed check (true), or one failed check with the context stack and the
/// message (false), so that a caller can skip checks that depend on it.
bool Pass();
bool Fail(const char* file, int line, const std::string& message);

/// A check that this Wine cannot pass. Under Wine a false condition is counted as an
/// expected gap and printed with its reason, and a true one fails, so that the marker is
/// removed; elsewhere it is an ordinary check.
bool Gap(bool passed, const char* reason, const char* file, int line, const std::string& message);

/// Whether this runs under Wine, unless TreatAsNotWine() was called (or TARVIK_NOT_WINE=1
/// is set): then gaps fail as they would on Windows.
bool UnderWine();
void TreatAsNotWine();

/// Prints a line that is neither a pass nor a failure (timings, preconditions).
void Print(const std::string& line);
template <typename... Args>
void Note(const char* format, const Args&... args) {
  Print(Say(format, args...));
}

/// Number of checks run, of failures and of expected gaps so far.
struct Tally {
  int checks = 0, failures = 0, gaps = 0;
};
const Tally& Counts();

/// A line naming what the following checks are about ("Label3", "input \"abc\""),
/// printed in front of every failure while the owner is alive.
class Context {
 public:
  template <typename... Args>
  explicit Context(const char* format, const Args&... args) {
    Push(Say(format, args...));
  }
  ~Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

 private:
  static void Push(std::string line);
};

}  // namespace tarvik::e2e

// The condition is evaluated first and the message only on failure, so the message
// shows the state that made the check fail.
#define ok(condition, ...)                                         \
  (static_cast<bool>(condition) ? ::tarvik::e2e::Pass()            \
                                : ::tarvik::e2e::Fail(__FILE__, __LINE__, ::tarvik::e2e::Say(__VA_ARGS__)))
#define todo_wine(reason, condition, ...) \
  ::tarvik::e2e::Gap(static_cast<bool>(condition), reason, __FILE__, __LINE__, ::tarvik::e2e::Say(__VA_ARGS__))
