// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AnalyzeCommand.h"

#include "analysis/AlbumAnalysis.h"
#include "analysis/SonogramImage.h"
#include "cli/CliContext.h"
#include "cli/JsonText.h"
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "common/TextUnit.h"
#include "generate/AlbumRipLog.h"
#include "platform/ConsoleHost.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace {
std::string TrackLine(const TTrackAnalysis& track) {
  std::string line = PrintableName(track.Path) + ": ";
  if (!track.Measured())
    return line + PrintableText(track.Problem);
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
  if (track.Quality)
    line += "; " + LossyQualityText(*track.Quality);
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

nlohmann::json LogJson(const TAlbumRipLog& log, const TAlbumAnalysis& album) {
  nlohmann::json object = {{"Path", log.Path}};
  if (!log.Log.IsLog())
    return object.update({{"Problem", log.Log.Problem}}), object;
  object.update({{"Ripper", log.Log.Ripper},
                 {"Version", log.Log.Version},
                 {"Drive", RipperDriveText(log.Log)},
                 {"AccurateRip", AccurateRipText(log.Log)},
                 {"Score", log.Log.Score ? nlohmann::json(*log.Log.Score) : nullptr},
                 {"Checksum", LogChecksumText(log.Log)},
                 {"Rips", log.Log.Rips},
                 {"Match", LogMatchTextFor(log, album.Tracks)},
                 {"Deductions", nlohmann::json::array()}});
  for (const TRipLogDeduction& deduction : log.Log.Deductions)
    object["Deductions"].push_back({{"Text", deduction.Text}, {"Points", deduction.Points}});
  return object;
}

void PrintJson(std::ostream& out, const TAlbumAnalysis& album,
               const std::vector<TAlbumRipLog>& logs) {
  const auto print = [&out](const nlohmann::json& object) {
    out << JsonText(object) << "\n";
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
      if (track.Quality)
        object.update(
            {{"BitRate", track.Quality->Kbps},
             {"ExpectedCutoff", track.Quality->ExpectedHz},
             {"LowerRateSource", track.Quality->Suspect()},
             {"SourceBitRate", track.Quality->Suspect() ? nlohmann::json(track.Quality->SourceKbps)
                                                        : nlohmann::json(nullptr)},
             {"Quality", LossyQualityText(*track.Quality)}});
    }
    print(object);
  }
  nlohmann::json object = {{"Album", true}};
  if (album.Dr)
    object["DR"] = *album.Dr;
  if (album.Loudness)
    object.update(LoudnessJson(album.Loudness));
  if (const std::string quality = AlbumQualityText(album); !quality.empty())
    object["Quality"] = quality;
  if (!logs.empty()) {
    object["Logs"] = nlohmann::json::array();
    for (const TAlbumRipLog& log : logs)
      object["Logs"].push_back(LogJson(log, album));
  }
  print(object);
}

bool IsLogPath(const std::string& path) {
  return path.size() > 4 && FoldCase(path.substr(path.size() - 4)) == ".log";
}

// The logs given, else those beside the tracks.
std::vector<TAlbumRipLog> LogsOf(const std::vector<std::string>& operands,
                                 const std::vector<std::string>& tracks) {
  std::vector<TAlbumRipLog> logs;
  for (const std::string& path : operands)
    if (IsLogPath(path)) {
      const auto bytes = ReadRipLogFile(path);
      TRipLog log = ReadRipLog(bytes.value_or(""));
      if (!bytes)
        log.Problem = "cannot be read";
      logs.push_back({path, std::move(log)});
    }
  return logs.empty() ? RipLogsBeside(tracks) : logs;
}

TAlbumAnalysis AnalyzeWithProgress(const std::vector<std::string>& files, bool keepSonograms,
                                   TCliContext& context) {
  TAnalysisHooks hooks;
  hooks.KeepSonograms = keepSonograms;
  if (context.ShowProgress)
    hooks.Progress = [&context, shown = -1](std::uint64_t done, std::uint64_t total) mutable {
      const int percent = total ? static_cast<int>(done * 100 / total) : 100;
      if (percent != shown)
        context.Err << "\rAnalysing " << (shown = percent) << "%" << std::flush;
    };
  TAlbumAnalysis album = AnalyzeAlbum(files, hooks);
  if (context.ShowProgress)
    context.Err << "\r\x1b[K" << std::flush;
  return album;
}

// Each measured track's picture in the folder (made if missing), and the album's beside
// them when there are several; the names written on out when listed. False when one
// could not be written.
bool WriteSonograms(const TAlbumAnalysis& album, std::string folder, bool replace, bool listed,
                    TCliContext& context) {
  if (!folder.ends_with('/'))
    folder += '/';
  const TWriteMode mode = replace ? TWriteMode::Replace : TWriteMode::CreateOnly;
  bool allWritten = true;
  const auto write = [&](const std::string& name, const TSonogram& picture,
                         const std::string& caption) {
    const std::string path = folder + name;
    const std::string png = SonogramPng(picture, caption);
    const TWriteResult result = png.empty() ? TWriteResult::Failed : WriteFile(path, png, mode);
    if (result == TWriteResult::Written && listed)
      context.Out << PrintableName(path) << "\n";
    else if (result != TWriteResult::Written)
      context.Err << ConsoleLine(path, result == TWriteResult::Exists
                                           ? "exists (--replace replaces it)"
                                           : "cannot be written");
    allWritten = allWritten && result == TWriteResult::Written;
  };
  if (!MakeFolders(folder)) {
    context.Err << ConsoleLine(folder, "cannot be made");
    return false;
  }
  std::vector<std::string> paths;
  for (const TTrackAnalysis& track : album.Tracks)
    paths.push_back(track.Path);
  const std::vector<std::string> names = SonogramFileNames(paths);
  std::size_t pictures = 0;
  for (std::size_t i = 0; i < album.Tracks.size(); ++i)
    if (album.Tracks[i].Sonogram) {
      write(names[i], *album.Tracks[i].Sonogram, SonogramCaption(album.Tracks[i]));
      ++pictures;
    }
  if (const auto whole = AlbumSonogram(album); whole && pictures > 1)
    write(std::string(AlbumSonogramName), *whole,
          "Album - " + std::to_string(pictures) + " tracks - " + album.Tracks.front().Format);
  return allWritten;
}

int RunAnalyze(const TCliArguments& arguments, TCliContext& context) {
  std::vector<std::string> files = ExpandTrackFolders(arguments.Operands);
  std::erase_if(files, IsLogPath);
  const std::vector<TAlbumRipLog> logs = LogsOf(arguments.Operands, files);
  const std::string* pictures = arguments.Value("--sonograms");
  const TAlbumAnalysis album = AnalyzeWithProgress(files, pictures != nullptr, context);
  bool allMeasured = true;
  for (const TTrackAnalysis& track : album.Tracks)
    allMeasured = allMeasured && track.Measured();
  for (const TAlbumRipLog& log : logs)
    allMeasured = allMeasured && log.Log.IsLog();
  if (arguments.Has("--json")) {
    PrintJson(context.Out, album, logs);
  } else {
    for (const TTrackAnalysis& track : album.Tracks)
      context.Out << TrackLine(track) << "\n";
    if (album.Dr)
      context.Out << "Album: " << AlbumAnalysisText(album) << "\n";
    if (const std::string quality = AlbumQualityText(album); !quality.empty())
      context.Out << "Album bit rates: " << quality << "\n";
    for (const TAlbumRipLog& log : logs) {
      const std::string match = LogMatchTextFor(log, album.Tracks);
      context.Out << "Log " << PrintableName(log.Path) << ": "
                  << PrintableText(log.Log.IsLog() ? RipLogScoreLine(log.Log) : log.Log.Problem)
                  << (match.empty() ? "" : "; " + match) << "\n";
    }
  }
  if (pictures && !album.Cancelled)
    allMeasured =
        WriteSonograms(album, *pictures, arguments.Has("--replace"), false, context) && allMeasured;
  context.Out.flush();
  return allMeasured ? 0 : 1;
}

int RunSonogram(const TCliArguments& arguments, TCliContext& context) {
  if (!arguments.Value("-o")) {
    context.Err << "tamberlon-cli: sonogram needs -o FOLDER, where the pictures go\n";
    return 2;
  }
  const TAlbumAnalysis album =
      AnalyzeWithProgress(ExpandTrackFolders(arguments.Operands), true, context);
  bool allMeasured = true;
  for (const TTrackAnalysis& track : album.Tracks)
    if (!track.Measured()) {
      context.Err << ConsoleLine(track.Path, track.Problem);
      allMeasured = false;
    }
  const bool written =
      WriteSonograms(album, *arguments.Value("-o"), arguments.Has("--replace"), true, context);
  context.Out.flush();
  return written && allMeasured ? 0 : 1;
}

// The help's list of the log's deductions, from the rules themselves.
std::string DeductionsText() {
  std::string text;
  for (const TRipLogRuleText& rule : RipLogRules())
    text += std::string(text.empty() ? "" : "; ") + rule.Text + " -" + std::to_string(rule.Points) +
            (rule.PerTrack ? " a track" : "");
  return text;
}
} // namespace

TCliCommand AnalyzeCommand() {
  return {.Name = "analyze",
          .Summary = "measure each track's dynamic range and loudness, and the album's",
          .Operands = "FILE...|FOLDER [LOG]",
          .Description =
              "Decodes each track once (FLAC, MP3, Vorbis, Opus, AAC or ALAC) and prints its "
              "dynamic range as DR meters give it "
              "(3-second blocks; the second-highest peak over the RMS of the loudest fifth), "
              "its peak and RMS in dBFS, and its EBU R128 loudness (integrated, in LUFS), "
              "loudness range (LU), true peak (dBTP) and ReplayGain 2.0 gain (to -18 LUFS), "
              "and how high its content reaches, marking a lossless track whose content stops "
              "as a lossy encoder's low-pass stops it as possibly transcoded, and a lossy "
              "track whose content stops below its encoder's low-pass at its bit rate as "
              "probably encoded from a lower-rate source; "
              "then the album's DR (the tracks' mean) and loudness. "
              "A rip log given (FILE.log), else each .log beside the tracks that EAC (in "
              "English), XLD or whipper wrote, is scored as the open log checkers score it, "
              "from 100 less a deduction for each practice that can lose data: " +
              DeductionsText() +
              ". Beside the score, the log's own checksum: OK, edited, missing, or not used "
              "by this ripper version (EAC's, XLD's and whipper's are all verified); and "
              "whether the log matches the tracks (16-bit stereo), each track's CRC of its samples "
              "against the log's. "
              "Exit status 1 when a track could not be measured or a log given is none.",
          .Options = {{"--json", "", "one JSON object per track, then one for the album"},
                      {"--sonograms", "FOLDER",
                       "also a picture of each track's frequencies through time, and the "
                       "album's, in FOLDER (as the sonogram command draws them)"},
                      {"--replace", "", "pictures replace files of the same names"}},
          .Run = RunAnalyze};
}

TCliCommand SonogramCommand() {
  return {.Name = "sonogram",
          .Summary = "draw each track's frequencies through time, and the album's, as PNG",
          .Operands = "FILE...|FOLDER",
          .Description =
              "Decodes each track and writes a PNG picture of it into FOLDER (made if "
              "missing), named as the track with .png: time across, frequency up to the "
              "Nyquist limit upwards, each level's colour on a scale from -120 dB (black) to "
              "0 dB (white) against a full-scale sine, with the scale's legend and a caption "
              "of the file's name, format and length. A lossless track made from a lossy "
              "file shows its encoder's low-pass as a flat ceiling. With several tracks, "
              "album.png shows them all side by side. An existing picture is kept unless "
              "--replace is given. Exit status 1 when a track could not be measured or a "
              "picture not written.",
          .Options = {{"-o", "FOLDER", "where the pictures go (required)"},
                      {"--replace", "", "pictures replace files of the same names"}},
          .Run = RunSonogram};
}
