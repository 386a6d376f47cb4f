// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AnalyzeCommand.h"

#include "analysis/AlbumAnalysis.h"
#include "cli/CliContext.h"
#include "common/FileUnit.h"
#include "common/TextUnit.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace {
std::string TrackLine(const TTrackAnalysis& track) {
  std::string line = PrintableName(track.Path) + ": ";
  if (!track.Measured())
    return line + track.Problem;
  line += DrText(track.Dr.Value) + ", peak " + LevelText(track.Dr.PeakDb) + " dBFS, RMS " +
          LevelText(track.Dr.RmsDb) + " dBFS";
  if (track.Loudness)
    line += ", " + LevelText(track.Loudness->Integrated) + " LUFS, range " +
            LevelText(track.Loudness->Range) + " LU, true peak " +
            LevelText(track.Loudness->TruePeakDb) + " dBTP, gain " +
            LevelText(track.Loudness->Gain) + " dB";
  line += ", content to " + LevelText(track.Cutoff.Hz / 1000) + " kHz";
  if (track.Cutoff.LossyShape)
    line += std::string(": ") + TranscodeWarning;
  return line;
}

nlohmann::json LoudnessJson(const std::optional<TLoudness>& loudness) {
  if (!loudness)
    return nullptr;
  return {{"Loudness", loudness->Integrated},
          {"LoudnessRange", loudness->Range},
          {"TruePeak", loudness->TruePeakDb},
          {"Gain", loudness->Gain}};
}

void PrintJson(std::ostream& out, const TAlbumAnalysis& album) {
  const auto print = [&out](const nlohmann::json& object) {
    out << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  };
  for (const TTrackAnalysis& track : album.Tracks) {
    nlohmann::json object = {{"Path", track.Path}};
    if (!track.Measured()) {
      object["Problem"] = track.Problem;
    } else {
      object.update({{"DR", track.Dr.Value},
                     {"Peak", track.Dr.PeakDb},
                     {"RMS", track.Dr.RmsDb},
                     {"Seconds", track.Seconds},
                     {"Cutoff", track.Cutoff.Hz},
                     {"Transcoded", track.Cutoff.LossyShape}});
      if (track.Loudness)
        object.update(LoudnessJson(track.Loudness));
    }
    print(object);
  }
  nlohmann::json object = {{"Album", true}};
  if (album.Dr)
    object["DR"] = *album.Dr;
  if (album.Loudness)
    object.update(LoudnessJson(album.Loudness));
  print(object);
}

int RunAnalyze(const TCliArguments& arguments, TCliContext& context) {
  const std::vector<std::string> files = ExpandTrackFolders(arguments.Operands);
  TAnalysisHooks hooks;
  if (context.ShowProgress)
    hooks.Progress = [&context, shown = -1](std::uint64_t done, std::uint64_t total) mutable {
      const int percent = total ? static_cast<int>(done * 100 / total) : 100;
      if (percent != shown)
        context.Err << "\rAnalysing " << (shown = percent) << "%" << std::flush;
    };
  const TAlbumAnalysis album = AnalyzeAlbum(files, hooks);
  if (context.ShowProgress)
    context.Err << "\r\x1b[K" << std::flush;
  bool allMeasured = true;
  for (const TTrackAnalysis& track : album.Tracks)
    allMeasured = allMeasured && track.Measured();
  if (arguments.Has("--json")) {
    PrintJson(context.Out, album);
  } else {
    for (const TTrackAnalysis& track : album.Tracks)
      context.Out << TrackLine(track) << "\n";
    if (album.Dr)
      context.Out << "Album: " << AlbumAnalysisText(album) << "\n";
  }
  context.Out.flush();
  return allMeasured ? 0 : 1;
}
} // namespace

TCliCommand AnalyzeCommand() {
  return {.Name = "analyze",
          .Summary = "measure each track's dynamic range and loudness, and the album's",
          .Operands = "FILE...|FOLDER",
          .Description =
              "Decodes each FLAC track once and prints its dynamic range as DR meters give it "
              "(3-second blocks; the second-highest peak over the RMS of the loudest fifth), "
              "its peak and RMS in dBFS, and its EBU R128 loudness (integrated, in LUFS), "
              "loudness range (LU), true peak (dBTP) and ReplayGain 2.0 gain (to -18 LUFS), "
              "and how high its content reaches, marking a track whose content stops as a "
              "lossy encoder's low-pass stops it as possibly transcoded; "
              "then the album's DR (the tracks' mean) and loudness. Exit status 1 when a "
              "track could not be measured.",
          .Options = {{"--json", "", "one JSON object per track, then one for the album"}},
          .Run = RunAnalyze};
}
