#include "check.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "win32.h"

namespace tarvik::e2e {
namespace {

Tally tally;
bool notWine = false;
std::vector<std::string> contexts;

void Report(const char* file, int line, const char* verdict, const std::string& message) {
  const std::string_view path(file);
  std::string where(path.substr(path.find_last_of("/\\") + 1));  // the file's name alone
  where += ":" + std::to_string(line) + ": " + verdict + ": ";
  for (const std::string& context : contexts) where += context + ": ";
  Print(where + message);
}

}  // namespace

bool Pass() {
  ++tally.checks;
  return true;
}

bool Fail(const char* file, int line, const std::string& message) {
  ++tally.checks;
  ++tally.failures;
  Report(file, line, "Test failed", message);
  return false;
}

bool Gap(bool passed, const char* reason, const char* file, int line, const std::string& message) {
  const std::string explained = message + " (" + reason + ")";
  if (!UnderWine()) return passed ? Pass() : Fail(file, line, explained);
  ++tally.checks;
  ++(passed ? tally.failures : tally.gaps);
  Report(file, line, passed ? "Test succeeded inside todo block, remove the marker" : "Test marked todo", explained);
  return passed;
}

bool UnderWine() { return !notWine && test::UnderWine(); }

void TreatAsNotWine() { notWine = true; }

void Print(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

const Tally& Counts() { return tally; }

void Context::Push(std::string line) { contexts.push_back(std::move(line)); }

Context::~Context() { contexts.pop_back(); }

std::string Utf8(std::wstring_view text) {
  const int length = static_cast<int>(text.size());
  std::string result(WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, result.data(), static_cast<int>(result.size()), nullptr, nullptr);
  return result;
}

std::string Quoted(std::wstring_view text) {
  constexpr size_t kShown = 60;
  std::wstring shown;
  for (const wchar_t unit : text.substr(0, kShown)) {
    const size_t control = std::wstring_view(L"\r\n\t").find(unit);  // shown as \r, \n and \t
    shown += control == std::wstring_view::npos ? std::wstring(1, unit) : std::wstring{L'\\', L"rnt"[control]};
  }
  std::string result = "\"" + Utf8(shown) + "\"";
  if (text.size() > kShown) result += "... (" + std::to_string(text.size()) + " units)";
  return result;
}

}  // namespace tarvik::e2e
