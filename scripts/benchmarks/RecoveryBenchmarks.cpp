// SPDX-License-Identifier: GPL-3.0-or-later
// The recovery files' field arithmetic alone, with each method this processor runs, on
// cache-sized chunks as the recovery set's threads work on them (32 slices at once).
#include "par2/RecoveryField.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {
void RecoveryArithmetic(benchmark::State& state) {
  const auto method = static_cast<TGfMethod>(state.range(0));
  if (!GfMethodRuns(method)) {
    state.SkipWithError("not on this processor");
    return;
  }
  state.SetLabel(std::string(GfMethodName(method)));
  constexpr std::size_t Sources = 32, Chunk = 8192, Recovery = 16;
  std::vector<std::vector<std::uint8_t>> sources(Sources, std::vector<std::uint8_t>(Chunk, 0x5A));
  std::vector<std::vector<std::uint8_t>> sums(Recovery, std::vector<std::uint8_t>(Chunk));
  std::vector<const std::uint8_t*> pointers;
  std::vector<TGfFactor> factors;
  for (std::size_t s = 0; s < Sources; ++s) {
    pointers.push_back(sources[s].data());
    factors.push_back(PrepareGfFactor(InputSliceConstant(static_cast<std::uint32_t>(s)), method));
  }
  for (auto _ : state)
    for (auto& sum : sums)
      GfMultiplyAccumulate(sum, pointers, factors, method);
  // Bytes multiplied and added: each source once for each recovery slice.
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * Sources * Chunk * Recovery));
}
BENCHMARK(RecoveryArithmetic)
    ->Arg(static_cast<int>(TGfMethod::Scalar))
    ->Arg(static_cast<int>(TGfMethod::ShuffleAvx2))
    ->Arg(static_cast<int>(TGfMethod::GfniAvx2))
    ->Arg(static_cast<int>(TGfMethod::GfniAvx512));
} // namespace
