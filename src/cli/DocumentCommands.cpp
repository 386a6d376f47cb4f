// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DocumentCommands.h"

#include "audio/FlacCheckUnit.h"
#include "audio/TrackReaderUnit.h"
#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/Host.h"
#include "common/NaturalOrder.h"
#include "common/RememberedListsUnit.h"
#include "common/TextUnit.h"
#include "generate/AlbumFieldTable.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/AlbumSession.h"
#include "generate/CompanionTable.h"
#include "generate/EncodingUnit.h"
#include "generate/RecoveryCheckUnit.h"
#include "generate/SFVUnit.h"
#include "generate/SaveDocumentsUnit.h"
#include "generate/SfvCheckUnit.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>
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

namespace {
// The options every album field has, from the field table: a text, a choice or a date
// takes a value; a check mark is a flag, and its "--no-" form clears it.
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

std::vector<TCliOption> CompanionOptions() {
  std::vector<TCliOption> options;
  for (const TCompanion& companion : Companions)
    options.push_back({std::string(companion.Option), "", std::string(companion.OptionHelp)});
  return options;
}

const std::vector<TCliOption> SortOptions = {
    {"--sort", "", "sort the files by path (default: as the window's option)"},
    {"--no-sort", "", "keep the files in the order given"}};

std::optional<TDateTime> IsoDate(const std::string& text) {
  const auto digits = [&](std::size_t from, std::size_t count) -> std::optional<int> {
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
      if (!std::isdigit(static_cast<unsigned char>(text[i])))
        return std::nullopt;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  if (text.size() != 10 || text[4] != '-' || text[7] != '-')
    return std::nullopt;
  const auto year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
  if (!year || !month || !day || *month < 1 || *month > 12 || *day < 1)
    return std::nullopt;
  constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
  if (*day > Days[*month - 1] + (*month == 2 && leap ? 1 : 0))
    return std::nullopt; // 29 February 2023 is no day, not 1 March
  return EncodeDateTime({*year, *month, *day, 0, 0, 0});
}

enum class TAlbumOutcome { Written, Skipped, Failed, BadUsage };

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
          const auto date = IsoDate(*value);
          if (!date) {
            context.Err << "tamberlon-cli: " << option << " takes a date as YYYY-MM-DD; " << *value
                        << " is none\n";
            ok = false;
            return;
          }
          boxes.*member = *date;
        }
      },
      field.Text);
  return ok;
}

// The album as the window makes it: the session opened from the program folder, the
// tracks and their majorities, then the options.
struct TAlbumRun {
  TAlbumSession Session;
  std::string Folder;
  std::size_t UnreadTracks = 0; // named as they were read; the album is still made
};

// A folder among the operands holds albums in folders below it.
bool HasAlbumsBelow(const std::vector<std::string>& operands);

// Nothing when the album was made, else why not.
std::optional<TAlbumOutcome> BuildAlbum(const TCliArguments& arguments, TCliContext& context,
                                        bool withChecksum, TAlbumRun& run) {
  TAlbumSession& session = run.Session;
  session.Open(GetProgramFolder());
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
      context.Err << "tamberlon-cli: " << PrintableName(path) << ": " << *problem << "\n";
      return *problem == "no such file" ? TAlbumOutcome::BadUsage : TAlbumOutcome::Failed;
    }
  const bool sort = arguments.Has("--sort") ||
                    (session.Preferences.SortSelections && !arguments.Has("--no-sort"));
  if (sort)
    SortNaturally(paths);
  run.Folder = paths.front().substr(0, paths.front().rfind('/') + 1);

  TTrackObserver observer;
  observer.Idle = ReadingProgress(context);
  session.ChooseTracks(paths, withChecksum, observer);
  if (sort)
    session.OrderByTrackNumbers();
  for (const TTrackEntry& track : session.Album().Tracks)
    run.UnreadTracks += !track.Info || !track.Info->Analysed;

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

// --redundancy and --block-size, with the window's redundancy as the default, and the
// progress line; false (said why) for a value out of range.
bool RecoveryOptions(const TCliArguments& arguments, TCliContext& context,
                     const TPreferences& preferences, TRecoverySettings& settings) {
  settings.Redundancy = static_cast<unsigned>(preferences.Par2Redundancy);
  if (const std::string* text = arguments.Value("--redundancy")) {
    const auto number = ParsePreferenceInteger(*text);
    if (!number || *number < 1 || *number > MaximumRedundancy) {
      context.Err << "tamberlon-cli: --redundancy takes a percentage from 1 to "
                  << MaximumRedundancy << "\n";
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
  if (context.ShowProgress)
    settings.Progress = [&context, shown = -1](std::uint64_t done, std::uint64_t total) mutable {
      const int percent = total ? static_cast<int>(done * 100 / total) : 100;
      if (percent != shown) {
        shown = percent;
        context.Err << "\rRecovery files " << percent << "%" << (percent == 100 ? "\n" : "")
                    << std::flush;
      }
      return true;
    };
  return true;
}

const std::vector<TCliOption> RecoveryOptionList = {
    {"--redundancy", "PERCENT",
     "recovery data as a percentage of the files, 1 to 100 (default: as the window's option, "
     "10)"},
    {"--block-size", "BYTES", "the recovery files' block size (default: about 2,000 blocks)"}};

// Without --force an existing document is kept and named; the others are still written.
bool Kept(const std::string& path, bool exists, const TCliArguments& arguments,
          TCliContext& context) {
  if (arguments.Has("--force") || !exists) // a device or pipe is written into
    return false;
  context.Err << "tamberlon-cli: " << PrintableName(path)
              << ": exists; use --force to replace it\n";
  return true;
}

// One album's .nfo (and companions) from the options; its files are the operands.
TAlbumOutcome WriteAlbumNfo(const TCliArguments& arguments, TCliContext& context,
                            std::size_t* unreadTracks = nullptr) {
  TSaveRequest save;
  bool withChecksum = false;
  for (std::size_t i = 0; i < Companions.size(); ++i) {
    save.Companions[i] = arguments.Has(Companions[i].Option);
    withChecksum = withChecksum || (save.Companions[i] && Companions[i].ReadsChecksums);
  }
  TAlbumRun run;
  if (const auto failed = BuildAlbum(arguments, context, withChecksum, run))
    return *failed;
  if (unreadTracks)
    *unreadTracks = run.UnreadTracks;
  TAlbumSession& session = run.Session;
  const std::string* encodingName = arguments.Value("--encoding");
  const auto encoding = encodingName ? EncodingNamed(*encodingName) : session.Encoding();
  if (!encoding) {
    context.Err << "tamberlon-cli: --encoding takes utf-8, cp437 or windows-1252\n";
    return TAlbumOutcome::BadUsage;
  }
  session.SetEncoding(*encoding);

  // The compilation question is answered by the option; nothing is ever asked here.
  save.UseVariousArtistsTemplate = arguments.Has("--various-artists-template");
  if (const std::string* templatePath = arguments.Value("--template")) {
    if (!FileExists(*templatePath)) {
      context.Err << "tamberlon-cli: " << *templatePath << ": no such template\n";
      return TAlbumOutcome::BadUsage;
    }
    save.TemplatePath = *templatePath;
  }
  save.ChecksumProgress = ProgressLine(context, "Checksums");
  if (!RecoveryOptions(arguments, context, session.Preferences, save.Recovery))
    return TAlbumOutcome::BadUsage;
  // A character the encoding cannot hold is never replaced without a word: --unmappable
  // says whether it fails the save (the default), is asked about or becomes "?".
  const std::string* choice = arguments.Value("--unmappable");
  const std::string unmappableChoice = choice ? FoldCase(*choice) : "fail";
  if (unmappableChoice != "fail" && unmappableChoice != "ask" && unmappableChoice != "replace") {
    context.Err << "tamberlon-cli: --unmappable takes ask, fail or replace\n";
    return TAlbumOutcome::BadUsage;
  }
  bool writeUnmappable = false;
  const auto lacksCharacters = [&](const TSavePlan& plan) {
    const std::string& unmappable = plan.UnmappableWith(save.UseVariousArtistsTemplate);
    if (unmappable.empty())
      return false;
    writeUnmappable = unmappableChoice == "replace" ||
                      (unmappableChoice == "ask" &&
                       CurrentHost().ShowMessage(TMessageKind::Confirmation,
                                                 UnmappableQuestion(*encoding, unmappable)) ==
                           TMessageResult::Yes);
    if (!writeUnmappable)
      context.Err << "tamberlon-cli: " << EncodingName(*encoding)
                  << " has no place for these characters: " << unmappable << "; nothing written\n";
    return !writeUnmappable;
  };
  if (arguments.Has("--stdout")) {
    save.Companions = {};
    if (lacksCharacters(session.PlanSave(save)))
      return TAlbumOutcome::Failed;
    // Printing needs no file written: where the program folder cannot take a missing
    // template, its built-in default serves.
    const bool writable = !save.TemplatePath.empty() || FolderIsWritable(GetProgramFolder());
    if (!writable)
      context.Err << "tamberlon-cli: " << GetProgramFolder()
                  << ": cannot be written; a missing template is read as its built-in "
                     "default\n";
    const std::string text = writable ? session.NfoText(save) : session.DraftNfoText(save);
    // The bytes Save writes, its final line break included.
    context.Out << EncodeText(text, *encoding).Bytes << "\r\n";
    return TAlbumOutcome::Written;
  }
  const std::string* output = arguments.Value("-o");
  save.NfoPath = output ? *output : run.Folder + session.Album().DefaultFileName();
  const TSavePlan plan = session.PlanSave(save);
  TSaveAnswers answers;
  answers.ReplaceExisting = arguments.Has("--force");
  // An album whose .nfo is there but a companion missing is completed, not skipped.
  for (const TDocument& document : plan.Documents)
    if (document.Exists && Kept(document.Path, true, arguments, context))
      answers.Keep.push_back(document.Path);
  if (!plan.Problem && answers.Keep.size() == plan.Documents.size())
    return TAlbumOutcome::Skipped;
  const bool nfoKept =
      plan.Request.WithNfo && !answers.Keep.empty() && answers.Keep.front() == plan.Request.NfoPath;
  if (!plan.Problem && !nfoKept && lacksCharacters(plan))
    return TAlbumOutcome::Failed;
  answers.WriteUnmappable = writeUnmappable;
  const TSaveOutcome saved = session.Save(plan, answers);
  if (!saved.Saved)
    return saved.Exists ? TAlbumOutcome::Skipped : TAlbumOutcome::Failed;
  for (const std::string& path : saved.Written)
    context.Out << PrintableName(path) << "\n";
  return TAlbumOutcome::Written;
}

// Every folder at or below the roots that holds track files, in order. A folder that
// cannot be read (its path too long to open included) is named and counted; links to
// folders are not followed. Each folder is read once, and only the folders still to read
// are held, so time and memory follow the number of folders.
struct TAlbumFolders {
  std::vector<std::string> Albums;
  std::size_t Unreadable = 0; // folders below a root
  bool BadRoot = false;       // a root that is no readable folder
};

TAlbumFolders FindAlbumFolders(const std::vector<std::string>& roots, TCliContext& context) {
  TAlbumFolders found;
  for (const std::string& root : roots) {
    if (!IsFolder(root)) {
      context.Err << "tamberlon-cli: " << PrintableName(root) << ": "
                  << (TrackFileProblem(root) == "no such file" ? "no such folder" : "not a folder")
                  << "\n";
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
        context.Err << "tamberlon-cli: " << PrintableName(folder == top ? root : folder) << ": "
                    << std::strerror(errno) << "\n";
        if (folder == top)
          found.BadRoot = true;
        else
          ++found.Unreadable;
        continue;
      }
      if (!TracksInFolder(folder, *entries).empty())
        found.Albums.push_back(folder);
      for (const TFolderEntry& entry : *entries)
        if (entry.IsFolder && !entry.IsLink)
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

// Whole collections: one album a folder, one after another, each read with all cores. The
// summary counts every album (and every folder that could not be read) once; the status
// follows it.
int WriteCollection(const TCliArguments& given, TCliContext& context) {
  if (given.Value("-o") || given.Has("--stdout")) {
    context.Err << "tamberlon-cli: --recursive writes each album in its own folder; "
                   "-o and --stdout do not apply\n";
    return 2;
  }
  const TAlbumFolders folders = FindAlbumFolders(given.Operands, context);
  std::size_t written = 0, skipped = 0, failed = folders.Unreadable, warnings = 0;
  TCliArguments arguments = given;
  for (std::size_t i = 0; i < folders.Albums.size(); ++i) {
    if (context.ShowProgress)
      context.Err << "Album " << i + 1 << "/" << folders.Albums.size() << ": "
                  << PrintableName(folders.Albums[i]) << "\n";
    arguments.Operands = {folders.Albums[i]};
    std::size_t unread = 0;
    TAlbumOutcome outcome = TAlbumOutcome::Failed;
    try {
      outcome = WriteAlbumNfo(arguments, context, &unread);
    } catch (const std::exception& problem) { // one album's trouble ends only that album
      context.Err << "tamberlon-cli: " << PrintableName(folders.Albums[i]) << ": " << problem.what()
                  << "\n";
    }
    switch (outcome) {
    case TAlbumOutcome::Written:
      ++written;
      warnings += unread;
      break;
    case TAlbumOutcome::Skipped:
      ++skipped;
      break;
    case TAlbumOutcome::Failed:
    case TAlbumOutcome::BadUsage:
      ++failed;
      break;
    }
  }
  const std::size_t albums = written + skipped + failed;
  context.Out << albums << (albums == 1 ? " album: " : " albums: ") << written << " written, "
              << skipped << " skipped, " << failed << " failed";
  if (warnings > 0)
    context.Out << ", " << warnings << (warnings == 1 ? " warning" : " warnings")
                << " (tracks that could not be read)";
  context.Out << "\n";
  context.StatusFinal = true;
  return failed > 0 || folders.BadRoot ? 1 : 0;
}

int RunNfo(const TCliArguments& arguments, TCliContext& context) {
  if (arguments.Has("--recursive"))
    return WriteCollection(arguments, context);
  switch (WriteAlbumNfo(arguments, context)) {
  case TAlbumOutcome::Written:
    return 0;
  case TAlbumOutcome::BadUsage:
    return 2;
  default:
    return 1;
  }
}

// sfv's and par2's one document beside the tracks, written as the save writes it; the
// paths written are printed.
int WriteAlbumDocument(const TDocument& document, const TAlbumInfo& album,
                       const TCliArguments& arguments, TCliContext& context,
                       const TRecoverySettings& recovery = {}) {
  const TSaveResult written =
      WriteDocuments({document}, TrackInputs(album), arguments.Has("--force"), recovery);
  if (!written.Saved) {
    CurrentHost().ShowFileMessage(TMessageKind::Error, written.Message, written.Path);
    return 1;
  }
  for (const std::string& file : written.Written)
    context.Out << PrintableName(file) << "\n";
  return 0;
}

int RunSfv(const TCliArguments& arguments, TCliContext& context) {
  TAlbumRun run;
  if (const auto failed = BuildAlbum(arguments, context, true, run))
    return *failed == TAlbumOutcome::BadUsage ? 2 : 1;
  TAlbumInfo& album = run.Session.Album();
  const std::size_t row = *CompanionNamed(".sfv");
  TCompanionChoice sfvOnly{};
  sfvOnly[row] = true;
  if (const auto problem = UnlistableTrackName(album, sfvOnly)) {
    CurrentHost().ShowFileMessage(TMessageKind::Error, problem->Message, problem->Path);
    return 1;
  }
  // A track whose checksum could not be read was named as it was read: no .sfv without it.
  for (const TTrackEntry& track : album.Tracks)
    if (!track.Info || track.Info->Checksum == NoChecksum)
      return 1;
  Companions[row].PrepareTemplate();
  const std::string* output = arguments.Value("-o");
  const std::string path =
      output ? *output
             : CompanionPath(run.Folder + album.DefaultFileName(), Companions[row].Extension);
  const std::string bytes = Companions[row].Make(album, path);
  if (arguments.Has("--stdout")) {
    context.Out << bytes;
    return 0;
  }
  if (Kept(path, FileExists(path), arguments, context))
    return 1;
  return WriteAlbumDocument({".sfv", path, bytes}, album, arguments, context);
}

int RunPar2(const TCliArguments& arguments, TCliContext& context) {
  TAlbumRun run;
  if (const auto failed = BuildAlbum(arguments, context, false, run))
    return *failed == TAlbumOutcome::BadUsage ? 2 : 1;
  TAlbumInfo& album = run.Session.Album();
  TRecoverySettings settings;
  if (!RecoveryOptions(arguments, context, run.Session.Preferences, settings))
    return 2;
  const std::string* output = arguments.Value("-o");
  const std::string path = output ? *output
                                  : CompanionPath(run.Folder + album.DefaultFileName(),
                                                  Companions[*CompanionNamed(".par2")].Extension);
  if (Kept(path, RecoveryFilesExist(path), arguments, context))
    return 1;
  return WriteAlbumDocument({".par2", path, {}}, album, arguments, context, settings);
}

// A .par2: each file of its set, then the recovery blocks found and whether they suffice.
int RunRecoveryCheck(const std::string& path, TCliContext& context) {
  if (!FileExists(path)) {
    ShowError(ecOpenForReading, path);
    return 1;
  }
  const auto check = CheckRecoverySet(path);
  if (!check) {
    CurrentHost().ShowFileMessage(
        TMessageKind::Error, "This file holds no intact description of a PAR2 recovery set", path);
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

int RunCheck(const TCliArguments& arguments, TCliContext& context) {
  if (arguments.Has("--audio"))
    return RunAudioCheck(arguments.Operands, context);
  if (arguments.Operands.size() != 1) {
    context.Err << "tamberlon-cli: check takes one .sfv or .par2 (or --audio FILE...)\n";
    return 2;
  }
  const std::string& path = arguments.Operands.front();
  if (FoldCase(path).ends_with(".par2"))
    return RunRecoveryCheck(path, context);
  const std::string folder = path.substr(0, path.rfind('/') + 1);
  std::array<std::size_t, 4> counts{};
  std::size_t malformed = 0;
  const bool read = ForEachSfvLine(path, [&](std::size_t number, const TSfvLine& line) {
    if (line.Kind == TSfvLineKind::Malformed) { // verifies nothing: the check fails
      context.Err << "tamberlon-cli: " << PrintableName(path) << ":" << number
                  << ": not an SFV line\n";
      ++malformed;
    }
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
  context.Out << SfvCheckSummary(counts, malformed) << "\n";
  const std::size_t verified = counts[static_cast<std::size_t>(TSfvOutcome::Ok)];
  const bool bad = malformed > 0 || verified != counts[0] + counts[1] + counts[2] + counts[3];
  return bad || verified == 0 ? 1 : 0;
}
} // namespace

TCliCommand NfoCommand() {
  TCliCommand command{
      .Name = "nfo",
      .Summary = "write an album's .nfo (and its companions) as the window saves it",
      .Operands = "FILE...",
      .Description = "Writes the .nfo of an album, as Choose Tracks and Save do in the window: "
                     "the fields by majority among the tracks, the templates, posting policy "
                     "and preferences from the program's folder. A folder given as FILE means "
                     "its track files (MP3, FLAC, Ogg Vorbis, Opus, M4A). An existing file is "
                     "never replaced without --force.",
      .Run = RunNfo};
  std::vector<TCliOption>& options = command.Options;
  options = AlbumFieldOptions();
  options.push_back({"--group", "NAME", "a target newsgroup (repeat for more)", true});
  options.insert(options.end(), SortOptions.begin(), SortOptions.end());
  options.push_back({"--various-artists-template", "", "a compilation uses template-va.txt"});
  options.push_back({"--template", "FILE", "expand this template instead"});
  const std::vector<TCliOption> companions = CompanionOptions();
  options.insert(options.end(), companions.begin(), companions.end());
  options.insert(options.end(), RecoveryOptionList.begin(), RecoveryOptionList.end());
  options.push_back({"--encoding", "utf-8|cp437|windows-1252",
                     "the .nfo's encoding (default: as the window's option); for a character "
                     "it lacks see --unmappable"});
  options.push_back({"-o", "FILE",
                     "the .nfo to write (default: the album's default name in the tracks' "
                     "folder)"});
  options.push_back({"--stdout", "", "print the .nfo instead of saving it"});
  options.push_back({"--force", "", "replace existing files"});
  options.push_back({"--unmappable", "ask|fail|replace",
                     "characters the encoding lacks: fail the save (the default), ask, or "
                     "write \"?\" in their place"});
  options.push_back({"--recursive", "",
                     "every folder at or below each FILE that holds track files is one album; a "
                     "summary closes the run"});
  return command;
}

TCliCommand SfvCommand() {
  TCliCommand command{.Name = "sfv",
                      .Summary = "write the .sfv checksum list of files",
                      .Operands = "FILE...",
                      .Description = "Writes the .sfv checksum list of the files with the SFV "
                                     "template (default name: the album's default name with "
                                     ".sfv, in the tracks' folder).",
                      .Run = RunSfv};
  command.Options = {{"-o", "FILE", "the .sfv to write"},
                     {"--force", "", "replace an existing file"},
                     {"--stdout", "", "print the .sfv instead of saving it"}};
  command.Options.insert(command.Options.end(), SortOptions.begin(), SortOptions.end());
  return command;
}

TCliCommand Par2Command() {
  TCliCommand command{.Name = "par2",
                      .Summary = "write PAR2 recovery files for files",
                      .Operands = "FILE...",
                      .Description = "Writes a PAR 2.0 recovery set for the files: BASE.par2 "
                                     "and the volumes BASE.volS+C.par2 (default BASE: the "
                                     "album's default name, in the tracks' folder). The files "
                                     "must lie in that folder or below it.",
                      .Run = RunPar2};
  command.Options = {{"-o", "BASE.par2", "the index file to write; the volumes go beside it"},
                     {"--force", "", "replace existing recovery files"}};
  command.Options.insert(command.Options.end(), RecoveryOptionList.begin(),
                         RecoveryOptionList.end());
  command.Options.insert(command.Options.end(), SortOptions.begin(), SortOptions.end());
  return command;
}

TCliCommand CheckCommand() {
  return {.Name = "check",
          .Summary = "verify the files an .sfv lists or a .par2 protects",
          .Operands = "FILE.sfv|FILE.par2|--audio FILE...",
          .Description = "Verifies every file an .sfv lists (names relative to its folder). Exit "
                         "status 1 unless every entry was verified: a mismatch, a missing file "
                         "or a line that is no entry. A .par2's files are each OK, DAMAGED or "
                         "MISSING, with the recovery blocks beside it and whether they can "
                         "repair them (with a PAR2 client). With --audio, each FLAC file is "
                         "decoded and its audio compared with the MD5 it stores: OK, MISMATCH, "
                         "DAMAGED (does not decode) or NOT SET (no MD5 stored).",
          .Options = {{"--audio", "", "decode FLAC files and check their audio against its MD5"}},
          .MinimumOperands = 1,
          .Run = RunCheck};
}
