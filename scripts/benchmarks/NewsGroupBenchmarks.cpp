// SPDX-License-Identifier: GPL-3.0-or-later
// The known-newsgroup list at the size of a full server list (100,000 groups), with the
// locale's comparison and upper case as the programs use them.
#include "common/TextListUnit.h"
#include "newsgroups/NewsGroupSelectionUnit.h"
#include "platform/ConsoleHost.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <random>

namespace {
std::string MakeServerList() {
  std::mt19937 random(7);
  const char* words[] = {"alt",  "binaries",  "sounds", "mp3",     "music",
                         "comp", "rec",       "misc",   "flac",    "jazz",
                         "rock", "classical", "test",   "discuss", "d"};
  std::vector<std::string> lines;
  for (int i = 0; i < 100000; ++i) {
    std::string name = "alt";
    for (int part = 0; part < 3 + static_cast<int>(random() % 3); ++part)
      name += std::string(".") + words[random() % 15];
    lines.push_back(name + "." + std::to_string(i));
  }
  std::string path = "/tmp/tamberlon-bench-groups.txt";
  WriteTextList(path, lines);
  return path;
}

void LoadServerList(benchmark::State& state) {
  TConsoleHost host;
  TInstalledHost installed(host);
  const std::string path = MakeServerList();
  TNewsGroupSelection selection;
  for (auto _ : state)
    selection.LoadNewsGroupFile(path);
  std::remove(path.c_str());
}
BENCHMARK(LoadServerList)->Unit(benchmark::kMillisecond)->Iterations(3);

void FilterServerList(benchmark::State& state) {
  TConsoleHost host;
  TInstalledHost installed(host);
  const std::string path = MakeServerList();
  TNewsGroupSelection selection;
  selection.LoadNewsGroupFile(path);
  selection.FilterSelected({"alt.binaries.sounds.mp3.1", "alt.music.jazz.2"});
  for (auto _ : state) {
    selection.FilterText = state.iterations() % 2 ? "mp3" : "sounds mp3";
    selection.TimerTick();
  }
  std::remove(path.c_str());
}
BENCHMARK(FilterServerList)->Unit(benchmark::kMillisecond)->Iterations(4);
} // namespace
