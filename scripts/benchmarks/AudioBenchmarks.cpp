// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the pieces: the analysis of one file from the page cache, the CRC-32 and
// the verification of an album's .sfv.
#include "audio/CRC32Unit.h"
#include "audio/TrackInfo.h"
#include "generate/SfvCheckUnit.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
// A CBR MPEG-1 Layer III stream (128 kbit/s, 44.1 kHz) behind a small ID3v2.3 tag.
std::string MakeSampleFile() {
  std::string path = "/tmp/tamberlon-bench-XXXXXX.mp3";
  const int fd = ::mkstemps(path.data(), 4);
  ::close(fd);
  std::string bytes = std::string("ID3\x03\x00\x00\x00\x00\x00\x15", 10);
  bytes += std::string("TIT2\x00\x00\x00\x0b\x00\x00\x00Benchmark", 21);
  for (int frame = 0; frame < 2000; ++frame) {
    std::string header("\xFF\xFB\x90\x44", 4);
    header.resize(417, '\x55');
    bytes += header;
  }
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

void AnalyzeOneFile(benchmark::State& state) {
  const std::string path = MakeSampleFile();
  for (auto _ : state)
    benchmark::DoNotOptimize(MakeTrackInfo(path, false));
  std::remove(path.c_str());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(AnalyzeOneFile);

void ChecksumOfBuffer(benchmark::State& state) {
  const std::vector<std::uint8_t> buffer(static_cast<std::size_t>(state.range(0)), 0xA5);
  for (auto _ : state)
    benchmark::DoNotOptimize(UpdateCRC32(0, buffer));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ChecksumOfBuffer)->Arg(1 << 20)->Arg(64 << 20);
} // namespace

BENCHMARK_MAIN();

namespace {
// The verify window's core on an .sfv named by TAMBERLON_BENCH_SFV (scripts/bench makes
// one for its 12 x 80 MB album): every file read on the worker threads.
void VerifySfvAlbum(benchmark::State& state, std::string path) {
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    const std::atomic<bool> cancelled{false};
    TSfvVerifyCallbacks callbacks;
    callbacks.Listed = [&bytes](const std::vector<TSfvEntry>&, std::uint64_t total, std::size_t) {
      bytes = total;
    };
    benchmark::DoNotOptimize(VerifySfv(path, callbacks, cancelled));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

const bool VerifyRegistered = [] {
  if (const char* path = std::getenv("TAMBERLON_BENCH_SFV"))
    benchmark::RegisterBenchmark("VerifySfvAlbum", VerifySfvAlbum, std::string(path))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  return true;
}();
} // namespace
