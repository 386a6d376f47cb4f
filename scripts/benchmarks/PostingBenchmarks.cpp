// SPDX-License-Identifier: GPL-3.0-or-later
// yEnc encoding of one article's worth of random bytes (716,800, 128-character lines),
// with each method this processor runs.
#include "posting/YEnc.h"

#include <benchmark/benchmark.h>
#include <random>
#include <string>
#include <vector>

namespace {
void YEncEncoding(benchmark::State& state) {
  const auto method = static_cast<TYEncMethod>(state.range(0));
  if (!YEncMethodRuns(method)) {
    state.SkipWithError("not on this processor");
    return;
  }
  state.SetLabel(method == TYEncMethod::Scalar ? "scalar" : "AVX-512 VBMI2 expand");
  std::vector<std::uint8_t> bytes(716800);
  std::mt19937 random(1);
  for (auto& b : bytes)
    b = static_cast<std::uint8_t>(random());
  std::string out(YEncBound(bytes.size()), '\0');
  for (auto _ : state)
    benchmark::DoNotOptimize(YEncEncodeWith(method, bytes, out.data()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(YEncEncoding)
    ->Arg(static_cast<int>(TYEncMethod::Scalar))
    ->Arg(static_cast<int>(TYEncMethod::ExpandAvx512));
} // namespace
