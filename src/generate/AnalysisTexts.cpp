// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AnalysisTexts.h"

#include "analysis/AlbumAnalysis.h"
#include "generate/TokenUnit.h"

#include <algorithm>
#include <array>
#include <cstdio>

bool TemplateShowsAnalysis(std::string_view templateText) {
  constexpr std::array tokens = {token::Dr,      token::Loudness,  token::AlbumGain,
                                 token::TrackDr, token::TrackGain, token::TrackCutoff};
  return std::any_of(tokens.begin(), tokens.end(), [&](std::string_view name) {
    return templateText.find(name) != std::string_view::npos;
  });
}

bool MeasureAlbum(TAlbumInfo& album,
                  const std::function<bool(std::uint64_t done, std::uint64_t total)>& progress) {
  std::vector<std::string> paths;
  for (const TTrackEntry& track : album.Tracks)
    paths.push_back(track.Path);
  if (album.Analysis) {
    std::vector<std::string> measured;
    for (const TTrackAnalysis& track : album.Analysis->Tracks)
      measured.push_back(track.Path);
    if (measured == paths)
      return true;
  }
  std::atomic<bool> cancelled{false};
  TAnalysisHooks hooks;
  hooks.Cancelled = &cancelled;
  if (progress)
    hooks.Progress = [&](std::uint64_t done, std::uint64_t total) {
      if (!progress(done, total))
        cancelled = true;
    };
  auto analysis = std::make_shared<TAlbumAnalysis>(AnalyzeAlbum(paths, hooks));
  if (analysis->Cancelled || cancelled)
    return false;
  album.Analysis = std::move(analysis);
  return true;
}

std::string AlbumDrText(const TAlbumInfo& album) {
  return album.Analysis && album.Analysis->Dr ? DrText(*album.Analysis->Dr) : "";
}

std::string AlbumLoudnessText(const TAlbumInfo& album) {
  return album.Analysis && album.Analysis->Loudness
             ? LevelText(album.Analysis->Loudness->Integrated) + " LUFS"
             : "";
}

std::string AlbumGainText(const TAlbumInfo& album) {
  return album.Analysis && album.Analysis->Loudness
             ? LevelText(album.Analysis->Loudness->Gain) + " dB"
             : "";
}

const TTrackAnalysis* TrackAnalysisOf(const TAlbumInfo& album, const std::string& path) {
  if (!album.Analysis)
    return nullptr;
  for (const TTrackAnalysis& track : album.Analysis->Tracks)
    if (track.Path == path)
      return track.Measured() ? &track : nullptr;
  return nullptr;
}

std::string TrackDrText(const TTrackAnalysis* track) {
  return track ? DrText(track->Dr.Value) : "";
}

std::string TrackGainText(const TTrackAnalysis* track) {
  return track && track->Loudness ? LevelText(track->Loudness->Gain) + " dB" : "";
}

std::string TrackCutoffText(const TTrackAnalysis* track) {
  if (!track)
    return {};
  char text[32];
  std::snprintf(text, sizeof text, "%.1f kHz", track->Cutoff.Hz / 1000);
  return std::string(text) + (track->Cutoff.LossyShape ? std::string(", ") + TranscodeWarning : "");
}
