// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AlbumRun.h"

#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/Host.h"
#include "common/NaturalOrder.h"
#include "common/TextUnit.h"
#include "generate/AlbumCueCheck.h"
#include "generate/AlbumFieldTable.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/SaveDocumentsUnit.h"
#include "platform/ConsoleHost.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <type_traits>
#include <variant>

std::function<void(std::size_t, std::size_t)> ProgressLine(TCliContext& context,
                                                           const std::string& label) {
  if (!context.ShowProgress)
    return {};
  return [&context, label](std::size_t done, std::size_t total) {
    context.Err << "\r" << label << " " << done << "/" << total << (done == total ? "\n" : "")
                << std::flush;
  };
}

std::function<bool(std::uint64_t, std::uint64_t)> PercentLine(TCliContext& context,
                                                              const std::string& label) {
  if (!context.ShowProgress)
    return {};
  return [&context, label, shown = -1](std::uint64_t done, std::uint64_t total) mutable {
    const int percent = total ? static_cast<int>(done * 100 / total) : 100;
    if (percent != shown) {
      shown = percent;
      context.Err << "\r" << label << " " << percent << "%" << (percent == 100 ? "\n" : "")
                  << std::flush;
    }
    return true;
  };
}

std::function<bool(const TReadProgress&)> ReadingProgress(TCliContext& context) {
  if (!context.ShowProgress)
    return {};
  return [&context, shown = -1](const TReadProgress& progress) mutable {
    const int percent = static_cast<int>(progress.Fraction() * 100);
    if (percent != shown) {
      shown = percent;
      context.Err << "\rReading " << progress.FilesDone << "/" << progress.FilesTotal << " files, "
                  << percent << "%" << (percent == 100 ? "\n" : "") << std::flush;
    }
    return true;
  };
}

std::vector<TCliOption> AlbumFieldOptions() {
  std::vector<TCliOption> options;
  for (const TAlbumField& field : AlbumFields) {
    if (field.Option.empty())
      continue;
    options.push_back(
        {std::string(field.Option), std::string(field.OptionValue), std::string(field.OptionHelp)});
    if (field.OptionValue.empty())
      options.push_back({"--no-" + std::string(field.Option.substr(2)), "", "clears it"});
  }
  return options;
}

std::vector<TCliOption> DocumentOptions() {
  std::vector<TCliOption> options;
  for (const TDocumentKind& kind : DocumentKinds)
    if (!kind.Option.empty())
      options.push_back({std::string(kind.Option), "", std::string(kind.OptionHelp)});
  return options;
}

const std::vector<TCliOption> SortOptions = {
    {"--sort", "", "sort the files by path (default: as the window's option)"},
    {"--no-sort", "", "keep the files in the order given"}};

namespace {
// One field's option applied to the box texts; false with the problem told.
bool ApplyFieldOption(const TAlbumField& field, const TCliArguments& arguments,
                      TAlbumFieldTexts& boxes, TCliContext& context) {
  const std::string option(field.Option);
  const std::string* value = arguments.Value(option);
  bool ok = true;
  std::visit(
      [&](auto member) {
        using TMember = decltype(member);
        if constexpr (std::is_same_v<TMember, std::string TAlbumFieldTexts::*>) {
          if (value)
            boxes.*member = *value;
        } else if constexpr (std::is_same_v<TMember, bool TAlbumFieldTexts::*>) {
          if (arguments.Has(option))
            boxes.*member = true;
          if (arguments.Has("--no-" + option.substr(2)))
            boxes.*member = false;
        } else if constexpr (std::is_same_v<TMember, int TAlbumFieldTexts::*>) {
          if (!value)
            return;
          const auto index = StereoModeIndex(*value);
          if (!index) {
            context.Err << "tamberlon-cli: " << option << " takes stereo, joint, dual or mono\n";
            ok = false;
            return;
          }
          boxes.*member = *index;
        } else if constexpr (std::is_same_v<TMember, TDateTime TAlbumFieldTexts::*>) {
          if (!value)
            return;
          const auto date = ParseIsoDate(*value);
          if (!date) {
            context.Err << ConsoleLine("", option + " takes a date as YYYY-MM-DD; " + *value +
                                               " is none");
            ok = false;
            return;
          }
          boxes.*member = *date;
        }
      },
      field.Text);
  return ok;
}

} // namespace

std::optional<TAlbumOutcome> BuildAlbum(const TCliArguments& arguments, TCliContext& context,
                                        bool withChecksum, TAlbumRun& run) {
  TAlbumSession& session = run.Session;
  for (const TProblem& problem : session.Open(GetProgramFolder()))
    CurrentHost().ShowFileMessage(TMessageKind::Information, problem.Message, problem.Path);
  std::vector<std::string> paths = ExpandTrackFolders(arguments.Operands);
  if (paths.empty()) {
    context.Err << "tamberlon-cli: no track files given"
                << (HasAlbumsBelow(arguments.Operands)
                        ? "; the albums are in folders below: use --recursive"
                        : "")
                << "\n";
    return TAlbumOutcome::BadUsage;
  }
  // The window only offers regular files that exist; a mistyped name here is told, and a
  // pipe or device is no track.
  for (const std::string& path : paths)
    if (const auto problem = TrackFileProblem(path)) {
      context.Err << ConsoleLine(path, *problem);
      return *problem == "no such file" ? TAlbumOutcome::BadUsage : TAlbumOutcome::Failed;
    }
  const bool sort = arguments.Has("--sort") ||
                    (session.Preferences.SortSelections && !arguments.Has("--no-sort"));
  if (sort)
    SortNaturally(paths);
  run.Folder = AlbumFolderOf(paths);

  if (arguments.Has("--extras") || arguments.Has("--no-extras"))
    session.Preferences.IncludeExtras = !arguments.Has("--no-extras");
  TTrackObserver observer;
  observer.Idle = ReadingProgress(context);
  // Any file may be protected by a .sfv or recovery set: then only its reading matters.
  observer.Problem = [&paths, &run](std::size_t index, TErrorCode problem) {
    if (run.AudioMatters || (problem != ecTrackKindMismatch && problem != ecTrackStreamUnreadable &&
                             problem != ecTrackFileEmpty))
      ShowError(problem, paths[index]);
  };
  session.ChooseTracks(paths, withChecksum, observer);
  if (sort)
    session.OrderByTrackNumbers();
  for (const TTrackEntry& track : session.Album().Tracks)
    run.UnreadTracks += !track.Info || !track.Info->Analysed;
  // A CUE sheet beside the album that does not match the tracks is told, not fatal.
  if (const TAlbumCueNote cue = CheckAlbumCueSheet(session.Album());
      !cue.SheetPath.empty() && !cue.Agrees)
    context.Err << ConsoleLine(cue.SheetPath, cue.Text);

  session.FillFields();
  TAlbumFieldTexts boxes = session.Texts();
  for (const TAlbumField& field : AlbumFields)
    if (!field.Option.empty() && !ApplyFieldOption(field, arguments, boxes, context))
      return TAlbumOutcome::BadUsage;
  session.SetTexts(boxes);
  if (const std::vector<std::string> groups = arguments.All("--group"); !groups.empty())
    session.SetNewsGroups(groups);
  session.StoreFields();
  return std::nullopt;
}

bool RecoveryOptions(const TCliArguments& arguments, TCliContext& context,
                     const TPreferences& preferences, TSaveRequest& request) {
  TRecoverySettings& settings = request.Recovery;
  settings.Redundancy = static_cast<unsigned>(preferences.Par2Redundancy);
  // A percentage given is the set's size as given; the preference's is at least the
  // largest file's.
  settings.CoverLargestFile =
      preferences.Par2CoverLargestFile && arguments.Value("--redundancy") == nullptr;
  if (const std::string* text = arguments.Value("--redundancy")) {
    const auto number = ParseRedundancy(*text);
    if (!number) {
      context.Err << "tamberlon-cli: --redundancy takes a percentage from " << RedundancyRangeText()
                  << "\n";
      return false;
    }
    settings.Redundancy = static_cast<unsigned>(*number);
  }
  if (const std::string* text = arguments.Value("--block-size")) {
    const auto number = ParsePreferenceInteger(*text);
    if (!number || *number < 4 || *number % 4 != 0 ||
        *number > static_cast<std::int64_t>(MaximumSliceSize)) {
      context.Err << "tamberlon-cli: --block-size takes a multiple of 4 bytes, at most 32 MiB\n";
      return false;
    }
    settings.SliceSize = static_cast<std::uint64_t>(*number);
  }
  request.MakingProgress = PercentLine(context, "Recovery files");
  request.MeasuringProgress = PercentLine(context, "Measuring");
  return true;
}

const std::vector<TCliOption> RecoveryOptionList = {
    {"--redundancy", "PERCENT",
     "recovery data as a percentage of the files, 1 to 100 (default: the window's choice, "
     "Par2Redundancy= in [MenuPrefs], else 10; without it, the set takes at least the "
     "largest file's blocks unless Par2CoverLargestFile=0)"},
    {"--block-size", "BYTES", "the recovery files' block size (default: about 2,000 blocks)"}};

bool Kept(const std::string& path, bool exists, const TCliArguments& arguments,
          TCliContext& context) {
  if (arguments.Has("--force") || !exists) // a device or pipe is written into
    return false;
  context.Err << ConsoleLine(path, "exists; use --force to replace it");
  return true;
}

int WriteOneDocument(TAlbumInfo& album, const TSaveRequest& request, TDocumentRole role,
                     const TCliArguments& arguments, TCliContext& context,
                     TSaveContext& saveContext) {
  const std::string path = request.PathOf(role);
  if (Kept(path, KindOf(role).Exists(path), arguments, context) ||
      !StaleAllowed(request, arguments, context))
    return 1;
  const TSaveResult written =
      SaveAlbumDocuments(album, request, arguments.Has("--force"), saveContext);
  ShowProblems(saveContext.Problems);
  if (written.Problem)
    ShowProblem(*written.Problem);
  if (!written.Saved())
    return 1;
  for (const std::string& file : written.Written)
    context.Out << PrintableName(file) << "\n";
  for (const TProblem& note : saveContext.Notes) // said; the files are written
    context.Err << ConsoleLine(note.Path, "warning: " + note.Message);
  return 0;
}

TSaveRequest OneDocument(const TAlbumRun& run, const TCliArguments& arguments, TDocumentRole role) {
  TSaveRequest request;
  request.Chosen = {};
  request.Chosen[static_cast<std::size_t>(role)] = true;
  const std::string* output = arguments.Value("-o");
  request.NfoPath = DefaultDocumentPath(run, TDocumentRole::Nfo);
  request.Paths[static_cast<std::size_t>(role)] = output ? *output : DefaultDocumentPath(run, role);
  return request;
}

bool StaleAllowed(const TSaveRequest& request, const TCliArguments& arguments,
                  TCliContext& context) {
  const bool force = arguments.Has("--force");
  const std::vector<TStaleDocument> stale = StaleDocuments(request); // reads each list
  for (const TStaleDocument& document : stale)
    context.Err << ConsoleLine(document.Path,
                               "lists " + PrintableName(FileNamePart(document.Lists)) +
                                   (force ? ", which this save changes, and will no longer match it"
                                          : ", which this save would change, and would no longer "
                                            "match it; use --force to save anyway"));
  return force || stale.empty();
}

std::string DefaultDocumentPath(const TAlbumRun& run, TDocumentRole role) {
  return CompanionPath(run.Folder + run.Session.Album().DefaultFileName(), KindOf(role).Extension);
}

// A folder that cannot be read (its path too long to open included) is named and
// counted; links to folders are not followed. Each folder is read once, and only the
// folders still to read are held, so time and memory follow the number of folders.
TAlbumFolders FindAlbumFolders(const std::vector<std::string>& roots, TCliContext& context) {
  TAlbumFolders found;
  for (const std::string& root : roots) {
    if (!IsFolder(root)) {
      context.Err << ConsoleLine(root, TrackFileProblem(root) == "no such file" ? "no such folder"
                                                                                : "not a folder");
      found.BadRoot = true;
      continue;
    }
    const std::string top = root.ends_with('/') ? root : root + "/";
    std::vector<std::string> pending = {top};
    while (!pending.empty()) {
      const std::string folder = std::move(pending.back());
      pending.pop_back();
      const auto entries = ReadFolder(folder);
      if (!entries) {
        context.Err << ConsoleLine(folder == top ? root : folder, std::strerror(errno));
        if (folder == top)
          found.BadRoot = true;
        else
          ++found.Unreadable;
        continue;
      }
      // A folder of disc folders (CD1/, CD2/) is one album, its discs no albums of their own.
      const std::vector<std::string> discs = DiscFoldersOf(folder, *entries);
      if (!discs.empty() || !TracksInFolder(folder, *entries).empty())
        found.Albums.push_back(folder);
      for (const TFolderEntry& entry : *entries)
        if (entry.IsFolder && !entry.IsLink &&
            std::find(discs.begin(), discs.end(), folder + entry.Name) == discs.end())
          pending.push_back(folder + entry.Name + "/");
    }
  }
  std::sort(found.Albums.begin(), found.Albums.end());
  return found;
}

bool HasAlbumsBelow(const std::vector<std::string>& operands) {
  std::ostringstream unheard; // the walk's own complaints are not this message's business
  TCliContext quiet{unheard, unheard, false};
  for (const std::string& operand : operands)
    if (IsFolder(operand) && !FindAlbumFolders({operand}, quiet).Albums.empty())
      return true;
  return false;
}
