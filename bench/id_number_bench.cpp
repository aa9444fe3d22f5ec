// How fast the engine folds, per unit or byte: WorkOutIdNumber on a text of 2^20 UTF-16
// units, where the loop dominates, and on an address of typical length, where the fixed
// costs of a call (lower-casing into a new string, the decimal text) weigh in too; and
// each ASCII-run kernel this processor runs, on 2^20 bytes and on one address.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "engine/ascii_run.h"
#include "engine/id_number.h"

namespace {

// Mixed case, digits and punctuation, so that lower-casing has work to do.
constexpr char16_t kAddress[] = u"Firstname.Lastname@ex.com";  // 25 units

template <typename Text>
Text Repeated(std::size_t size) {
  Text text;
  text.reserve(size);
  while (text.size() < size) text.append(kAddress, kAddress + std::size(kAddress) - 1);
  text.resize(size);
  return text;
}

void PerItem(benchmark::State& state, std::size_t items, std::size_t itemSize) {
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(items));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(items * itemSize));
  state.counters["ns_per_item"] = benchmark::Counter(static_cast<double>(state.iterations() * items),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Fold(benchmark::State& state, const std::u16string& text) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(tarvik::WorkOutIdNumber(text));
  }
  PerItem(state, text.size(), sizeof(char16_t));
}

void BM_WorkOutIdNumber_1MiUnits(benchmark::State& state) {
  static const std::u16string text = Repeated<std::u16string>(std::size_t{1} << 20);
  Fold(state, text);
}
BENCHMARK(BM_WorkOutIdNumber_1MiUnits);

void BM_WorkOutIdNumber_Address(benchmark::State& state) {
  static const std::u16string text = kAddress;
  Fold(state, text);
}
BENCHMARK(BM_WorkOutIdNumber_Address);

// The kernel is chosen by its place in AsciiRunKernels' list; a place this processor
// has no kernel for is skipped.
void AsciiRun(benchmark::State& state, const std::string& bytes) {
  tarvik::detail::AsciiRunKernel kernels[3];
  const auto place = static_cast<std::size_t>(state.range(0));
  if (place >= tarvik::detail::AsciiRunKernels(kernels)) return state.SkipWithError("no such kernel here");
  state.SetLabel(kernels[place].name);
  const char* stop = bytes.data();
  for (auto _ : state) {
    uint32_t h = 0;
    benchmark::DoNotOptimize(stop = kernels[place].fold(h, bytes.data(), bytes.data() + bytes.size()));
    benchmark::DoNotOptimize(h);
  }
  PerItem(state, static_cast<std::size_t>(stop - bytes.data()), 1);  // per byte of the run
}

void BM_AsciiRun_1MiB(benchmark::State& state) {
  static const std::string bytes = Repeated<std::string>(std::size_t{1} << 20);
  AsciiRun(state, bytes);
}
BENCHMARK(BM_AsciiRun_1MiB)->DenseRange(0, 2);

void BM_AsciiRun_AddressLine(benchmark::State& state) {
  // Followed by its LF and the next line, as in a block read from a pipe.
  static const std::string bytes = Repeated<std::string>(25) + "\nanna.meyer@example.org\n";
  AsciiRun(state, bytes);
}
BENCHMARK(BM_AsciiRun_AddressLine)->DenseRange(0, 2);

}  // namespace
