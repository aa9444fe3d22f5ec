#include "check.h"

#include <windows.h>

#include <cstdio>

#include "win32.h"

namespace tarvik::e2e {
namespace {

int checks = 0;
int failures = 0;
int gaps = 0;
bool notWine = false;
std::vector<std::string> contexts;

std::string Format(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? length : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

void Report(const char* file, int line, const char* verdict, const std::string& message) {
  const char* base = file;
  for (const char* p = file; *p; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  std::string where;
  for (const std::string& context : contexts) where += context + ": ";
  std::printf("%s:%d: %s: %s%s\n", base, line, verdict, where.c_str(), message.c_str());
  std::fflush(stdout);
}

}  // namespace

bool Pass() {
  ++checks;
  return true;
}

bool Fail(const char* file, int line, const char* format, ...) {
  ++checks;
  ++failures;
  va_list args;
  va_start(args, format);
  const std::string message = Format(format, args);
  va_end(args);
  Report(file, line, "Test failed", message);
  return false;
}

bool Gap(bool passed, const char* reason, const char* file, int line, const char* format, ...) {
  ++checks;
  va_list args;
  va_start(args, format);
  const std::string message = Format(format, args) + " (" + reason + ")";
  va_end(args);
  if (!UnderWine()) {
    if (!passed) ++failures, Report(file, line, "Test failed", message);
    return passed;
  }
  if (passed) {
    ++failures;
    Report(file, line, "Test succeeded inside todo block, remove the marker", message);
  } else {
    ++gaps;
    Report(file, line, "Test marked todo", message);
  }
  return passed;
}

bool UnderWine() { return !notWine && test::UnderWine(); }

void TreatAsNotWine() { notWine = true; }

void Note(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = Format(format, args);
  va_end(args);
  std::printf("%s\n", message.c_str());
  std::fflush(stdout);
}

int CheckCount() { return checks; }
int FailureCount() { return failures; }
int GapCount() { return gaps; }

Context::Context(const char* format, ...) {
  va_list args;
  va_start(args, format);
  contexts.push_back(Format(format, args));
  va_end(args);
}

Context::~Context() { contexts.pop_back(); }

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

std::string Quoted(const std::wstring& text) {
  constexpr size_t kShown = 60;
  std::wstring shown;
  for (size_t i = 0; i < text.size() && i < kShown; ++i) {
    switch (text[i]) {
      case L'\r': shown += L"\\r"; break;
      case L'\n': shown += L"\\n"; break;
      case L'\t': shown += L"\\t"; break;
      default: shown += text[i];
    }
  }
  std::string result = "\"" + Utf8(shown) + "\"";
  if (text.size() > kShown) result += "... (" + std::to_string(text.size()) + " units)";
  return result;
}

}  // namespace tarvik::e2e
