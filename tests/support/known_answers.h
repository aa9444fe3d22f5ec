// The one table of known answers (tests/known_answers.tsv) and the one reference fold.
// Every suite that checks an id number reads the table, so a case is written once and
// each entry point is held to the same rows; the rows say which path they exercise.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "file_util.h"
#include "text_util.h"

namespace tarvik::test {

/// One row: the id number of a text (UTF-8, as typed), the path it exercises ("ascii",
/// "case", "cp1252", ...) and what the row shows.
struct KnownAnswer {
  uint32_t id = 0;
  std::string text, path, what;

  bool Ascii() const { return IsAscii(text); }
};

/// The rows of the table at `path` (lines split by tabs; '#' starts a comment line);
/// none if it cannot be read, which every reader treats as a failure.
inline std::vector<KnownAnswer> ReadKnownAnswers(const std::string& path) {
  std::istringstream table(FileBytes(path));
  std::vector<KnownAnswer> rows;
  for (std::string id, line; std::getline(table, line);) {
    if (line.empty() || line.starts_with('#')) continue;
    std::istringstream fields(line);
    KnownAnswer& row = rows.emplace_back();
    std::getline(std::getline(std::getline(std::getline(fields, id, '\t'), row.text, '\t'), row.path, '\t'), row.what);
    row.id = static_cast<uint32_t>(std::stoul(id));
  }
  return rows;
}

/// The fold the slow, plain way: h = h * 101 + code, from 0, in a 64-bit accumulator
/// reduced modulo 2^32 after every step, over codeOf(item) for each item (a code read
/// as signed and wrapped, as the system's double-byte codes are).
template <typename Items, typename CodeOf>
uint32_t ReferenceFold(const Items& items, CodeOf codeOf, uint32_t start = 0) {
  uint64_t h = start;
  for (const auto item : items) h = (h * 101 + static_cast<uint64_t>(codeOf(item))) % (uint64_t{1} << 32);
  return static_cast<uint32_t>(h);
}

/// The reference over ASCII text, lower-cased by hand: only A-Z change case there,
/// and every code page gives ASCII its own codes.
template <typename Text>
uint32_t ReferenceFoldOfAscii(const Text& text, uint32_t start = 0) {
  return ReferenceFold(text, [](auto c) { return int64_t{c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c}; }, start);
}

}  // namespace tarvik::test
