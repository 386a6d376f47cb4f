// SPDX-License-Identifier: GPL-3.0-or-later
// Expansion of the default NFO template for large posts (complete discographies), and the
// live preview's regeneration.
#include "common/TextListUnit.h"
#include "generate/AlbumSession.h"
#include "generate/ExpandUnit.h"
#include "generate/NFOUnit.h"

#include <benchmark/benchmark.h>

namespace {
void ExpandDefaultTemplate(benchmark::State& state) {
  TAlbumInfo album;
  std::vector<std::string> groups = {"alt.binaries.sounds.mp3",
                                     "alt.binaries.sounds.mp3.full_albums"};
  album.NewsGroups = &groups;
  album.SetArtist("Artist");
  for (int i = 0; i < state.range(0); ++i) {
    auto info = std::make_unique<TTrackInfo>();
    info->HasTag = true;
    info->Title = "Track title number " + std::to_string(i);
    info->DurationText = std::to_string(i % 60) + ":0" + std::to_string(i % 10);
    album.Tracks.push_back({"/music/" + std::to_string(i) + ".mp3", std::move(info)});
  }
  const std::string text = JoinTextLines(DefaultNfoTemplate(false));
  TGenerateContext context;
  for (auto _ : state)
    benchmark::DoNotOptimize(ExpandTemplate(text, album, context));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ExpandDefaultTemplate)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// What the live preview does on each change: the fields into the record, the templates
// and posting policy read from the program folder, the whole document generated.
void RegenerateLivePreview(benchmark::State& state) {
  TAlbumSession session;
  for (int i = 0; i < state.range(0); ++i) {
    auto info = std::make_unique<TTrackInfo>();
    info->HasTag = true;
    info->Title = "Track title number " + std::to_string(i);
    info->Artist = "Artist";
    info->DurationText = std::to_string(i % 60) + ":0" + std::to_string(i % 10);
    session.AddTrack("/music/" + std::to_string(i) + ".mp3", std::move(info));
  }
  session.FillFields();
  session.SetNewsGroups({"alt.binaries.sounds.mp3", "alt.binaries.sounds.mp3.full_albums"});
  for (auto _ : state)
    benchmark::DoNotOptimize(session.LiveNfoText());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(RegenerateLivePreview)->Arg(20)->Arg(1000)->Unit(benchmark::kMillisecond);
} // namespace
