// SPDX-License-Identifier: GPL-3.0-or-later
// tamberlon-cli check: the files an .sfv lists or a .par2 protects, or FLAC audio against
// its MD5.
#include "cli/AlbumRun.h"
#include "cli/DocumentCommands.h"

#include "analysis/CueSheet.h"
#include "audio/FlacCheckUnit.h"
#include "audio/TrackInfo.h"
#include "cli/JsonText.h"
#include "cli/PostCommand.h"
#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/PreferencesUnit.h"
#include "common/TextUnit.h"
#include "common/TrackKinds.h"
#include "generate/NzbDocument.h"
#include "generate/SfvCheckUnit.h"
#include "par2/RecoveryCheckUnit.h"
#include "platform/ConsoleHost.h"
#include "posting/NzbCheck.h"
#include "posting/NzbRepost.h"
#include "posting/PostSetup.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <vector>

namespace {
// The files given, a folder standing for its FLAC files (its other tracks have no MD5 of
// their audio to check).
std::vector<std::string> FlacFilesOf(const std::vector<std::string>& operands) {
  std::vector<std::string> files;
  for (const std::string& operand : operands) {
    if (!IsFolder(operand)) {
      files.push_back(operand);
      continue;
    }
    for (const std::string& file : ExpandTrackFolders({operand}))
      if (TrackKindOfName(file) == TTrackKind::FLAC)
        files.push_back(file);
  }
  return files;
}

// A .par2: each file of its set, then the recovery blocks found and whether they suffice.
int RunRecoveryCheck(const std::string& path, TCliContext& context) {
  if (!FileExists(path)) {
    ShowError(ecOpenForReading, path);
    return 1;
  }
  const auto check = CheckRecoverySet(path);
  if (!check) {
    ShowProblem({"This file holds no intact description of a PAR2 recovery set", path});
    return 1;
  }
  for (const TRecoveryFileCheck& file : check->Files)
    context.Out << RecoveryFileLine(file) << "\n";
  context.Out << RecoveryCheckSummary(*check) << "\n";
  return check->AllOk() ? 0 : 1;
}

// --audio: each FLAC file decoded on worker threads, its audio against its stored MD5.
int RunAudioCheck(const std::vector<std::string>& paths, TCliContext& context) {
  std::uint64_t total = 0;
  for (const std::string& path : paths)
    if (const auto file = TReadOnlyFile::Open(path))
      total += static_cast<std::uint64_t>(file->Size());
  std::vector<TAudioCheck> results(paths.size());
  int shown = -1;
  CheckFlacFiles(
      paths, [&](std::size_t index, const TAudioCheck& check) { results[index] = check; },
      [&](std::uint64_t done) {
        const int percent =
            total ? static_cast<int>(std::min<std::uint64_t>(done * 100 / total, 100)) : 100;
        if (context.ShowProgress && percent != shown) {
          shown = percent;
          context.Err << "\rChecking audio " << percent << "%" << std::flush;
        }
      });
  if (shown >= 0)
    context.Err << "\n";
  std::size_t ok = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    context.Out << PrintableName(paths[i]) << " " << AudioCheckText(results[i]) << "\n";
    ok += results[i].Outcome == TAudioOutcome::Ok ? 1 : 0;
  }
  context.Out << CheckTotalsText(ok, paths.size() - ok) << "\n";
  return ok == paths.size() ? 0 : 1;
}

// A .cue: each FILE it names, then each track's length against the file it is in (or the
// split track beside an image).
int RunCueCheck(const std::string& path, TCliContext& context) {
  const auto bytes = ReadCueSheetFile(path);
  if (!bytes) {
    ShowError(ecOpenForReading, path);
    return 1;
  }
  const auto sheet = ReadCueSheet(*bytes);
  if (!sheet) {
    ShowProblem({"This file names no FILE and no TRACK: it is no CUE sheet", path});
    return 1;
  }
  const TCueCheck check = CheckCueSheet(*sheet, path, TrackSeconds);
  for (const std::string& missing : check.MissingFiles)
    context.Out << PrintableName(missing) << " MISSING\n";
  for (const std::string& unsafe : check.UnsafeFiles)
    context.Out << PrintableName(unsafe) << " UNSAFE\n";
  std::size_t ok = 0;
  for (const TCueTrackCheck& track : check.Tracks) {
    context.Out << "Track " << (track.Number < 10 ? "0" : "") << track.Number << " "
                << PrintableName(track.File) << " "
                << (track.Ok ? "OK" : "DIFFERS (" + PrintableText(track.Problem) + ")") << "\n";
    ok += track.Ok ? 1 : 0;
  }
  context.Out << CheckTotalsText(ok, check.Tracks.size() - ok)
              << (check.MissingFiles.empty()
                      ? ""
                      : ", " + std::to_string(check.MissingFiles.size()) + " files missing")
              << (check.UnsafeFiles.empty() ? ""
                                            : ", " + std::to_string(check.UnsafeFiles.size()) +
                                                  " outside the sheet's folder")
              << "\n";
  return check.AllOk() ? 0 : 1;
}

// check FILE.nzb: each file of the NZB OK, INCOMPLETE or MISSING on the server, as the
// window's Verify tells it.
void PrintNzbCheck(const TNzbCheckResult& result, bool json, TCliContext& context) {
  if (json) {
    nlohmann::json files = nlohmann::json::array();
    for (const TNzbFileCheck& file : result.Files)
      files.push_back({{"name", file.Name},
                       {"articles", file.Segments},
                       {"present", file.Present},
                       {"missing", file.Missing},
                       {"damaged", file.Damaged},
                       {"missingIds", file.MissingIds},
                       {"result", NzbFileWord(file)}});
    context.Out << JsonText({{"files", files}, {"summary", NzbCheckSummary(result)}}, 2) << "\n";
    return;
  }
  for (const TNzbFileCheck& file : result.Files) {
    context.Out << PrintableName(file.Name) << " " << NzbFileWord(file);
    if (file.Done() && file.Present < file.Segments)
      context.Out << " (" << file.Segments - file.Present << " of " << file.Segments
                  << " articles missing or damaged)";
    context.Out << "\n";
  }
  context.Out << PrintableText(NzbCheckSummary(result)) << "\n"; // it quotes the server
}

int RunNzbCheck(const std::string& path, const TCliArguments& arguments, TCliContext& context) {
  const auto text = ReadFileHead(path, static_cast<std::int64_t>(LargestNzbBytes) + 1);
  auto release = text ? ReadNzbFileBytes(*text) : std::nullopt;
  if (!release) {
    context.Err << ConsoleLine(path, text ? "not an NZB this tool can read" : "cannot be read");
    return 1;
  }
  TPostSetup setup;
  if (!ReadServer(arguments, ReadPreferences(GetProgramFolder() + PreferencesFileName), context,
                  setup))
    return 2;
  TNzbCheckRequest request{std::move(*release), setup.Settings, {}, {}, nullptr};
  if (context.ShowProgress)
    request.Progress = [&context, shown = std::size_t{0}](std::size_t done,
                                                          std::size_t total) mutable {
      if (done == total || done >= shown + 50) // a few lines a second, from one thread at a time
        context.Err << "\rChecking articles " << (shown = done) << "/" << total << std::flush;
    };
  const TNzbCheckResult result = CheckNzbArticles(request);
  if (context.ShowProgress)
    context.Err << "\r\x1b[K" << std::flush;
  PrintNzbCheck(result, arguments.Has("--json"), context);
  const bool whole =
      !result.Problem && !result.Cancelled &&
      std::all_of(result.Files.begin(), result.Files.end(),
                  [](const TNzbFileCheck& file) { return file.Present == file.Segments; });
  if (whole || !arguments.Has("--repost") || result.Problem || result.Cancelled)
    return whole ? 0 : 1;
  TRepostRequest repost{path,           std::move(request.Release), MissingIdsOf(result),
                        setup.Settings, setup.ArticleSize,          {},
                        nullptr};
  return PostWithProgress(
      [&repost](TPostProgressHook progress, const std::atomic<bool>* cancelled) {
        repost.Progress = std::move(progress);
        repost.Cancelled = cancelled;
        return RepostMissing(repost);
      },
      arguments, context);
}

int RunCheck(const TCliArguments& arguments, TCliContext& context) {
  if (arguments.Has("--audio"))
    return RunAudioCheck(FlacFilesOf(arguments.Operands), context);
  if (arguments.Operands.size() != 1) {
    context.Err
        << "tamberlon-cli: check takes one .sfv, .par2, .cue or .nzb (or --audio FILE...)\n";
    return 2;
  }
  const std::string& path = arguments.Operands.front();
  if (FoldCase(path).ends_with(".par2"))
    return RunRecoveryCheck(path, context);
  if (FoldCase(path).ends_with(".cue"))
    return RunCueCheck(path, context);
  if (FoldCase(path).ends_with(".nzb") || FoldCase(path).ends_with(".nzb.gz"))
    return RunNzbCheck(path, arguments, context);
  const std::string folder = path.substr(0, path.rfind('/') + 1);
  std::array<std::size_t, 4> counts{};
  std::size_t malformed = 0;
  std::vector<std::size_t> malformedShown; // the first few: a binary file has thousands
  constexpr std::size_t MalformedShown = 20;
  const bool read = ForEachSfvLine(path, [&](std::size_t number, const TSfvLine& line) {
    if (line.Kind == TSfvLineKind::Malformed && ++malformed <= MalformedShown)
      malformedShown.push_back(number); // verifies nothing: the check fails
    if (line.Kind != TSfvLineKind::Entry)
      return;
    const TSfvOutcome outcome = CheckSfvEntry(line.Entry, folder);
    context.Out << PrintableName(line.Entry.Name) << " " << SfvOutcomeWord(outcome) << "\n";
    ++counts[static_cast<std::size_t>(outcome)];
  });
  if (!read) {
    ShowError(ecOpenForReading, path);
    return 1;
  }
  if (malformed > 0 && counts == std::array<std::size_t, 4>{}) {
    context.Err << ConsoleLine(path, "no line lists a file and its checksum: this is no SFV file");
    return 1;
  }
  for (const std::size_t number : malformedShown)
    context.Err << ConsoleLine(path + ":" + std::to_string(number), "not an SFV line");
  if (malformed > malformedShown.size())
    context.Err << ConsoleLine(path, std::to_string(malformed - malformedShown.size()) +
                                         " more lines that are not SFV lines");
  context.Out << SfvCheckSummary(counts, malformed) << "\n";
  const std::size_t verified = counts[static_cast<std::size_t>(TSfvOutcome::Ok)];
  const bool bad = malformed > 0 || verified != counts[0] + counts[1] + counts[2] + counts[3];
  return bad || verified == 0 ? 1 : 0;
}
} // namespace

TCliCommand CheckCommand() {
  TCliCommand command{
      .Name = "check",
      .Summary = "verify the files an .sfv lists, a .par2 protects or a .cue names, or an "
                 "NZB's articles on the server",
      .Operands = "FILE.sfv|FILE.par2|FILE.cue|FILE.nzb|--audio FILE...",
      .Description = "Verifies every file an .sfv lists (names relative to its folder). Exit "
                     "status 1 unless every entry was verified: a mismatch, a missing file "
                     "or a line that is no entry. A .par2's files are each OK, DAMAGED or "
                     "MISSING, with the recovery blocks beside it and whether they can "
                     "repair them (with repair). A .cue's FILEs must be beside it, "
                     "and each track's length (from its INDEX 01 to the next, or to its "
                     "file's end) agree within a frame with the split track beside an "
                     "image. With --audio, each FLAC file is "
                     "decoded and its audio compared with the MD5 it stores: OK, MISMATCH, "
                     "DAMAGED (does not decode) or NOT SET (no MD5 stored). An .nzb's "
                     "articles are looked up on the news server (the post's server options "
                     "and [Server]): each file OK, INCOMPLETE or MISSING; with --repost the "
                     "missing ones are posted again and the NZB written again.",
      .Options = {{"--audio", "", "decode FLAC files and check their audio against its MD5"},
                  {"--repost", "",
                   "post an NZB's missing articles again from the files beside it, under "
                   "their Message-IDs, each once"},
                  {"--article-size", "BYTES",
                   "the bytes of a file per article it was posted with (ArticleSize=; "
                   "default 716800)"}},
      .MinimumOperands = 1,
      .Run = RunCheck};
  command.Options.insert(command.Options.end(), ServerOptionList.begin(), ServerOptionList.end());
  return command;
}
