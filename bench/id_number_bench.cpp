// How fast WorkOutIdNumber folds text, per UTF-16 unit: on a text of 2^20 units, where the
// loop dominates, and on an address of typical length, where the fixed costs of a
// call (lower-casing into a new string, the decimal text) weigh in too.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "engine/id_number.h"

namespace {

// Mixed case, digits and punctuation, so that lower-casing has work to do.
constexpr char16_t kAddress[] = u"Firstname.Lastname@ex.com";  // 25 units

std::u16string LargeText() {
  constexpr std::size_t kUnits = std::size_t{1} << 20;
  std::u16string text;
  text.reserve(kUnits);
  while (text.size() < kUnits) text += kAddress;
  text.resize(kUnits);
  return text;
}

void Fold(benchmark::State& state, const std::u16string& text) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(tarvik::WorkOutIdNumber(text));
  }
  const auto units = static_cast<int64_t>(text.size());
  state.SetItemsProcessed(state.iterations() * units);
  state.SetBytesProcessed(state.iterations() * units * static_cast<int64_t>(sizeof(char16_t)));
  state.counters["units"] = static_cast<double>(units);
  state.counters["ns_per_unit"] = benchmark::Counter(
      static_cast<double>(state.iterations() * units),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_WorkOutIdNumber_1MiUnits(benchmark::State& state) {
  static const std::u16string text = LargeText();
  Fold(state, text);
}
BENCHMARK(BM_WorkOutIdNumber_1MiUnits);

void BM_WorkOutIdNumber_Address(benchmark::State& state) {
  static const std::u16string text = kAddress;
  Fold(state, text);
}
BENCHMARK(BM_WorkOutIdNumber_Address);

}  // namespace
