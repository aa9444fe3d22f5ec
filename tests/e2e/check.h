// Checks in the manner of Wine's conformance tests: ok(condition, format, ...) reports a
// failure with its own message and carries on, so one run shows every difference;
// todo_wine(reason, condition, format, ...) marks what this Wine cannot answer yet.
// Messages are printf formats in which a std::string fills a %s as it is and a wide
// text fills it quoted, so that a failing text shows where it begins and ends; the
// compiler checks each conversion against its argument, as it would for printf itself.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>

namespace tarvik::e2e {

/// UTF-16 to UTF-8, for messages.
std::string Utf8(std::wstring_view text);

/// A string for messages: quoted, control characters escaped, long texts shortened.
std::string Quoted(std::wstring_view text);

/// The kind of conversion an argument of type T takes, as a letter: a string (any text,
/// wide ones quoted), an integer of 4 or 8 bytes once promoted, a floating-point number,
/// a pointer.
template <typename T>
constexpr char kTaken =
    std::is_convertible_v<const T&, std::string_view> || std::is_convertible_v<const T&, std::wstring_view> ? 's'
    : std::is_integral_v<T> || std::is_enum_v<T> ? (sizeof(T) == 8 ? '8' : '4')
    : std::is_floating_point_v<T> ? 'f' : std::is_pointer_v<T> ? 'p' : '?';
void ConversionDoesNotFitItsArgument();  // never defined: a format's check that calls it fails the build

/// A printf format checked as it is compiled: a conversion for each argument, in order,
/// that takes it (%s; %c, %d, %i, %u, %x with h, l or ll; %e, %f, %g; %p).
template <typename... Args>
struct Format {
  consteval Format(const char* format) : text(format) {  // implicit, so that a literal converts
    const char taken[] = {kTaken<Args>..., '\0'};
    const std::string_view conversions = "spcdiuxXeEfgG", takes = "sp444444fffff";
    size_t next = 0;
    for (const char* at = format; *at; ++at) {
      if (*at != '%' || *++at == '%') continue;
      while (std::string_view("-+ #0123456789.hl").find(*at) != std::string_view::npos) ++at;
      const size_t conversion = conversions.find(*at);
      char wanted = conversion < takes.size() ? takes[conversion] : '!';
      if (wanted == '4' && at[-1] == 'l' && at[-2] == 'l') wanted = '8';
      if (next == sizeof...(Args) || taken[next++] != wanted) ConversionDoesNotFitItsArgument();
    }
    if (next != sizeof...(Args)) ConversionDoesNotFitItsArgument();
  }
  const char* text;
};

/// An argument as printf takes it: a std::string's characters, a wide text quoted (held
/// until the end of the call), anything else as it is.
template <typename T> requires(!std::is_convertible_v<const T&, std::wstring_view>)
const T& Printable(const T& arg, std::string&& = {}) { return arg; }
inline const char* Printable(const std::string& text, std::string&& = {}) { return text.c_str(); }
inline const char* Printable(std::wstring_view text, std::string&& quoted = {}) {
  return (quoted = Quoted(text)).c_str();
}

/// The format filled in with the arguments as the messages take them (see above).
template <typename... Args>
std::string Say(Format<std::type_identity_t<Args>...> format, const Args&... args) {
  std::string text(std::max(std::snprintf(nullptr, 0, format.text, Printable(args)...), 0), '\0');
  std::snprintf(text.data(), text.size() + 1, format.text, Printable(args)...);
  return text;
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
void Note(Format<std::type_identity_t<Args>...> format, const Args&... args) {
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
  explicit Context(Format<std::type_identity_t<Args>...> format, const Args&... args) {
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
