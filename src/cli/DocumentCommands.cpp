// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DocumentCommands.h"

#include "audio/TrackReaderUnit.h"
#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/Host.h"
#include "common/PreferencesUnit.h"
#include "common/RememberedListsUnit.h"
#include "generate/AlbumFieldTable.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/AlbumSession.h"
#include "generate/EncodingUnit.h"
#include "generate/SFVUnit.h"
#include "generate/SaveDocumentsUnit.h"
#include "generate/SfvCheckUnit.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>

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
constexpr const char* NfoUsage =
    "Usage: tamberlon-cli nfo [options] FILE...\n"
    "\n"
    "Writes the .nfo of an album, as Choose Tracks and Save do in the window: the fields\n"
    "by majority among the tracks, the templates, posting policy and preferences from\n"
    "the program's folder. A folder given as FILE means its *.mp3 files.\n"
    "\n"
    "  --artist TEXT --album TEXT --year TEXT --genre TEXT --source TEXT --label TEXT\n"
    "  --encoder TEXT --codec TEXT --bitrate TEXT --samplerate TEXT --id3 TEXT\n"
    "  --ripped-by TEXT --posted-by TEXT        override the album's fields\n"
    "  --vbr, --no-vbr                          the VBR mark of the bit rate\n"
    "  --stereo stereo|joint|dual|mono          the stereo mode\n"
    "  --rip-date YYYY-MM-DD --post-date YYYY-MM-DD\n"
    "  --group NAME                             a target newsgroup (repeat for more)\n"
    "  --sort, --no-sort                        sort the files by path (default: as the\n"
    "                                           window's option)\n"
    "  --various-artists-template               a compilation uses template-va.txt\n"
    "  --template FILE                          expand this template instead\n"
    "  --sfv                                    also write the .sfv beside the .nfo\n"
    "  --m3u                                    also write the .m3u playlist beside it\n"
    "  --encoding utf-8|cp437|windows-1252      the .nfo's encoding (default: as the\n"
    "                                           window's option); a character it lacks\n"
    "                                           is an error, and nothing is written\n"
    "  -o FILE                                  the .nfo to write (default: the album's\n"
    "                                           default name in the tracks' folder)\n"
    "  --stdout                                 print the .nfo instead of saving it\n"
    "  --force                                  replace existing files\n"
    "  --recursive                              every folder at or below each FILE that\n"
    "                                           holds MP3 files is one album; a summary\n"
    "                                           closes the run\n"
    "  --help                                   show this text\n";

constexpr const char* SfvUsage =
    "Usage: tamberlon-cli sfv [-o FILE] [--force] [--stdout] [--sort|--no-sort] FILE...\n"
    "\n"
    "Writes the .sfv checksum list of the files with the SFV template (default name: the\n"
    "album's default name with .sfv, in the tracks' folder).\n";

constexpr const char* CheckUsage =
    "Usage: tamberlon-cli check FILE.sfv\n"
    "\n"
    "Verifies every file an .sfv lists (names relative to its folder). Exit status 1 on\n"
    "any mismatch or missing file.\n";

// Options that take a value, and the flags, of the album commands: the album fields' own
// options and these.
const std::string_view OtherValueOptions[] = {"--stereo", "--rip-date", "--post-date", "--template",
                                              "-o",       "--group",    "--encoding"};
const std::string_view Flags[] = {
    "--vbr",    "--no-vbr", "--sort",      "--no-sort",
    "--stdout", "--force",  "--recursive", "--various-artists-template"};

bool TakesValue(std::string_view option) {
  return std::find(std::begin(OtherValueOptions), std::end(OtherValueOptions), option) !=
             std::end(OtherValueOptions) ||
         std::any_of(AlbumFields.begin(), AlbumFields.end(),
                     [&](const TAlbumField& field) { return field.Option == option; });
}

// Every option of the nfo command.
std::vector<std::string_view> NfoOptions() {
  std::vector<std::string_view> options(std::begin(OtherValueOptions), std::end(OtherValueOptions));
  options.insert(options.end(), std::begin(Flags), std::end(Flags));
  for (const TAlbumField& field : AlbumFields)
    if (!field.Option.empty())
      options.push_back(field.Option);
  for (const TCompanion& companion : Companions)
    options.push_back(companion.Option);
  return options;
}

struct TOptions {
  std::map<std::string, std::string> Values;
  std::vector<std::string> Groups;
  std::vector<std::string> FlagsSet;
  std::vector<std::string> Files;
  bool Has(const char* flag) const {
    return std::find(FlagsSet.begin(), FlagsSet.end(), flag) != FlagsSet.end();
  }
  const std::string* Value(std::string_view name) const {
    const auto at = Values.find(std::string(name));
    return at == Values.end() ? nullptr : &at->second;
  }
};

// Nothing, with the problem on stderr, for bad usage.
std::optional<TOptions> ParseOptions(std::span<const std::string> arguments, TCliContext& context,
                                     std::span<const std::string_view> allowed) {
  TOptions options;
  auto isAllowed = [&](const std::string& name) {
    return std::find(allowed.begin(), allowed.end(), name) != allowed.end();
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (TakesValue(argument) && isAllowed(argument)) {
      if (i + 1 >= arguments.size()) {
        context.Err << "tamberlon-cli: " << argument << " needs a value\n";
        return std::nullopt;
      }
      if (argument == "--group")
        options.Groups.push_back(arguments[++i]);
      else
        options.Values[argument] = arguments[++i];
    } else if (isAllowed(argument)) {
      options.FlagsSet.push_back(argument);
    } else if (argument.starts_with("-") && argument != "-") {
      context.Err << "tamberlon-cli: unknown option " << argument << "\n";
      return std::nullopt;
    } else {
      options.Files.push_back(argument);
    }
  }
  return options;
}

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

std::optional<int> StereoIndex(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const char* names[] = {"stereo", "joint", "dual", "mono"};
  for (int i = 0; i < 4; ++i)
    if (text == names[i] || text == StereoModeNames[static_cast<std::size_t>(i)] ||
        text == std::to_string(i))
      return i;
  if (text == "joint stereo")
    return 1;
  if (text == "dual channel")
    return 2;
  return std::nullopt;
}

enum class TAlbumOutcome { Written, Skipped, Failed, BadUsage };

// The album as the window makes it: preferences, tracks, majorities, then the options.
struct TAlbumRun {
  TAlbumSession Session;
  std::string Folder;
  std::size_t UnreadTracks = 0; // named as they were read; the album is still made
};

// Nothing when the album was made, else why not.
std::optional<TAlbumOutcome> BuildAlbum(const TOptions& options, TCliContext& context,
                                        bool withChecksum, TAlbumRun& run) {
  TAlbumSession& session = run.Session;
  session.Open(GetProgramFolder());
  const TPreferences& preferences = session.Preferences;
  std::vector<std::string> paths = ExpandTrackFolders(options.Files);
  if (paths.empty()) {
    context.Err << "tamberlon-cli: no MP3 files given\n";
    return TAlbumOutcome::BadUsage;
  }
  // The window only offers regular files that exist; a mistyped name here is told, and a
  // pipe or device is no track.
  for (const std::string& path : paths)
    if (const auto problem = TrackFileProblem(path)) {
      context.Err << "tamberlon-cli: " << path << ": " << *problem << "\n";
      return *problem == "no such file" ? TAlbumOutcome::BadUsage : TAlbumOutcome::Failed;
    }
  const bool sort =
      options.Has("--sort") || (preferences.SortSelections && !options.Has("--no-sort"));
  if (sort)
    SortIgnoringCase(paths);
  run.Folder = paths.front().substr(0, paths.front().rfind('/') + 1);

  TTrackObserver observer;
  observer.Idle = ReadingProgress(context);
  session.ChooseTracks(paths, withChecksum, observer);
  for (const TTrackEntry& track : session.Album().Tracks)
    run.UnreadTracks += !track.Info || !track.Info->Analysed;

  session.FillFields();
  TAlbumFieldTexts boxes = session.Texts();

  for (const TAlbumField& field : AlbumFields)
    if (const std::string* value = field.Option.empty() ? nullptr : options.Value(field.Option))
      boxes.*field.Text = *value;
  if (options.Has("--vbr"))
    boxes.VBR = true;
  if (options.Has("--no-vbr"))
    boxes.VBR = false;
  if (const std::string* stereo = options.Value("--stereo")) {
    const auto index = StereoIndex(*stereo);
    if (!index) {
      context.Err << "tamberlon-cli: --stereo takes stereo, joint, dual or mono\n";
      return TAlbumOutcome::BadUsage;
    }
    boxes.StereoMode = *index;
  }
  for (const auto& [name, field] : {std::pair{"--rip-date", &TAlbumFieldTexts::RipDate},
                                    std::pair{"--post-date", &TAlbumFieldTexts::PostDate}})
    if (const std::string* value = options.Value(name)) {
      const auto date = IsoDate(*value);
      if (!date) {
        context.Err << "tamberlon-cli: " << name << " takes a date as YYYY-MM-DD; " << *value
                    << " is none\n";
        return TAlbumOutcome::BadUsage;
      }
      boxes.*field = *date;
    }
  session.SetTexts(boxes);
  session.SetNewsGroups(options.Groups.empty() ? preferences.NGPostedTo : options.Groups);
  session.StoreFields();
  return std::nullopt;
}

// Without --force an existing document is kept and named; the others are still written.
bool Kept(const std::string& path, const TOptions& options, TCliContext& context) {
  if (options.Has("--force") || !FileExists(path)) // a device or pipe is written into
    return false;
  context.Err << "tamberlon-cli: " << path << ": exists; use --force to replace it\n";
  return true;
}
} // namespace

namespace {
// One album's .nfo (and companions) from the options; its files are options.Files.
TAlbumOutcome WriteAlbumNfo(const TOptions& options, TCliContext& context,
                            std::size_t* unreadTracks = nullptr) {
  TSaveRequest save;
  bool withChecksum = false;
  for (std::size_t i = 0; i < Companions.size(); ++i) {
    save.Companions[i] = options.Has(std::string(Companions[i].Option).c_str());
    withChecksum = withChecksum || (save.Companions[i] && Companions[i].ReadsChecksums);
  }
  TAlbumRun run;
  if (const auto failed = BuildAlbum(options, context, withChecksum, run))
    return *failed;
  if (unreadTracks)
    *unreadTracks = run.UnreadTracks;
  TAlbumSession& session = run.Session;
  const std::string* encodingName = options.Value("--encoding");
  const auto encoding = encodingName ? EncodingNamed(*encodingName) : session.Encoding();
  if (!encoding) {
    context.Err << "tamberlon-cli: --encoding takes utf-8, cp437 or windows-1252\n";
    return TAlbumOutcome::BadUsage;
  }
  session.SetEncoding(*encoding);

  // The compilation question is answered by the option; nothing is ever asked here.
  save.UseVariousArtistsTemplate = options.Has("--various-artists-template");
  if (const std::string* templatePath = options.Value("--template")) {
    if (!FileExists(*templatePath)) {
      context.Err << "tamberlon-cli: " << *templatePath << ": no such template\n";
      return TAlbumOutcome::BadUsage;
    }
    save.TemplatePath = *templatePath;
  }
  save.ChecksumProgress = ProgressLine(context, "Checksums");
  // A character the encoding cannot hold is never replaced without a word.
  const auto lacksCharacters = [&](const TSavePlan& plan) {
    const std::string& unmappable = plan.UnmappableWith(save.UseVariousArtistsTemplate);
    if (!unmappable.empty())
      context.Err << "tamberlon-cli: " << EncodingName(*encoding)
                  << " has no place for these characters: " << unmappable << "; nothing written\n";
    return !unmappable.empty();
  };
  if (options.Has("--stdout")) {
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
  const std::string* output = options.Value("-o");
  save.NfoPath = output ? *output : run.Folder + session.Album().DefaultFileName();
  const TSavePlan plan = session.PlanSave(save);
  TSaveAnswers answers;
  answers.ReplaceExisting = options.Has("--force");
  // An album whose .nfo is there but a companion missing is completed, not skipped.
  for (const TDocument& document : plan.Documents)
    if (document.Exists && Kept(document.Path, options, context))
      answers.Keep.push_back(document.Path);
  if (!plan.Problem && answers.Keep.size() == plan.Documents.size())
    return TAlbumOutcome::Skipped;
  const bool nfoKept =
      plan.Request.WithNfo && !answers.Keep.empty() && answers.Keep.front() == plan.Request.NfoPath;
  if (!plan.Problem && !nfoKept && lacksCharacters(plan))
    return TAlbumOutcome::Failed;
  const TSaveOutcome saved = session.Save(plan, answers);
  if (!saved.Saved)
    return saved.Exists ? TAlbumOutcome::Skipped : TAlbumOutcome::Failed;
  for (const std::string& path : saved.Written)
    context.Out << path << "\n";
  return TAlbumOutcome::Written;
}

// Every folder at or below the roots that holds MP3 files, in order. A folder that
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
  const auto unreadable = [&](const std::string& folder, const char* what) {
    context.Err << "tamberlon-cli: " << folder << ": " << what << "\n";
    ++found.Unreadable;
  };
  for (const std::string& root : roots) {
    if (!IsFolder(root)) {
      context.Err << "tamberlon-cli: " << root << ": "
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
      if (!entries && folder == top) {
        context.Err << "tamberlon-cli: " << root << ": " << std::strerror(errno) << "\n";
        found.BadRoot = true;
        continue;
      }
      if (!entries) {
        unreadable(folder, std::strerror(errno));
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

// Whole collections: one album a folder, one after another, each read with all cores. The
// summary counts every album (and every folder that could not be read) once; the status
// follows it.
int WriteCollection(TOptions options, TCliContext& context) {
  if (options.Value("-o") || options.Has("--stdout")) {
    context.Err << "tamberlon-cli: --recursive writes each album in its own folder; "
                   "-o and --stdout do not apply\n";
    return 2;
  }
  const TAlbumFolders folders = FindAlbumFolders(options.Files, context);
  std::size_t written = 0, skipped = 0, failed = folders.Unreadable, warnings = 0;
  for (std::size_t i = 0; i < folders.Albums.size(); ++i) {
    if (context.ShowProgress)
      context.Err << "Album " << i + 1 << "/" << folders.Albums.size() << ": " << folders.Albums[i]
                  << "\n";
    options.Files = {folders.Albums[i]};
    std::size_t unread = 0;
    TAlbumOutcome outcome = TAlbumOutcome::Failed;
    try {
      outcome = WriteAlbumNfo(options, context, &unread);
    } catch (const std::exception& problem) { // one album's trouble ends only that album
      context.Err << "tamberlon-cli: " << folders.Albums[i] << ": " << problem.what() << "\n";
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
} // namespace

int RunNfoCommand(std::span<const std::string> arguments, TCliContext& context) {
  if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end()) {
    context.Out << NfoUsage;
    return 0;
  }
  const auto options = ParseOptions(arguments, context, NfoOptions());
  if (!options || options->Files.empty()) {
    if (options)
      context.Err << NfoUsage;
    return 2;
  }
  if (options->Has("--recursive"))
    return WriteCollection(*options, context);
  switch (WriteAlbumNfo(*options, context)) {
  case TAlbumOutcome::Written:
    return 0;
  case TAlbumOutcome::BadUsage:
    return 2;
  default:
    return 1;
  }
}

int RunSfvCommand(std::span<const std::string> arguments, TCliContext& context) {
  if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end()) {
    context.Out << SfvUsage;
    return 0;
  }
  const std::string_view allowed[] = {"-o", "--force", "--stdout", "--sort", "--no-sort"};
  const auto options = ParseOptions(arguments, context, allowed);
  if (!options || options->Files.empty()) {
    if (options)
      context.Err << SfvUsage;
    return 2;
  }
  TAlbumRun run;
  if (const auto failed = BuildAlbum(*options, context, true, run))
    return *failed == TAlbumOutcome::BadUsage ? 2 : 1;
  TAlbumInfo& album = run.Session.Album();
  TCompanionChoice sfvOnly{};
  sfvOnly[*CompanionNamed(".sfv")] = true;
  if (const auto problem = UnlistableTrackName(album, sfvOnly)) {
    CurrentHost().ShowFileMessage(TMessageKind::Error, problem->Message, problem->Path);
    return 1;
  }
  // A track whose checksum could not be read was named as it was read: no .sfv without it.
  for (const TTrackEntry& track : album.Tracks)
    if (!track.Info || track.Info->Checksum == NoChecksum)
      return 1;
  const std::size_t row = *CompanionNamed(".sfv");
  Companions[row].PrepareTemplate();
  const std::string* output = options->Value("-o");
  const std::string path =
      output ? *output
             : CompanionPath(run.Folder + album.DefaultFileName(), Companions[row].Extension);
  const std::string bytes = Companions[row].Make(album, path);
  if (options->Has("--stdout")) {
    context.Out << bytes;
    return 0;
  }
  if (Kept(path, *options, context))
    return 1;
  std::vector<TInputFile> inputs;
  for (const TTrackEntry& track : album.Tracks)
    inputs.push_back({"track", track.Path});
  const TSaveResult written =
      WriteDocuments({{".sfv", path, bytes}}, inputs, options->Has("--force"));
  if (!written.Saved) {
    CurrentHost().ShowFileMessage(TMessageKind::Error, written.Message, written.Path);
    return 1;
  }
  context.Out << path << "\n";
  return 0;
}

int RunCheckCommand(std::span<const std::string> arguments, TCliContext& context) {
  if (arguments.size() == 1 && arguments.front() == "--help") {
    context.Out << CheckUsage;
    return 0;
  }
  if (arguments.size() != 1 || arguments.front().starts_with("-")) {
    context.Err << CheckUsage;
    return 2;
  }
  const std::string& path = arguments.front();
  const std::string folder = path.substr(0, path.rfind('/') + 1);
  std::size_t verified = 0;
  std::size_t failures = 0;
  const bool read = ForEachSfvLine(path, [&](std::size_t number, const TSfvLine& line) {
    if (line.Kind == TSfvLineKind::Malformed) { // verifies nothing: the check fails
      context.Err << "tamberlon-cli: " << path << ":" << number << ": not an SFV line\n";
      ++failures;
    }
    if (line.Kind != TSfvLineKind::Entry)
      return;
    const TSfvOutcome outcome = CheckSfvEntry(line.Entry, folder);
    context.Out << line.Entry.Name << " " << SfvOutcomeWord(outcome) << "\n";
    ++(outcome == TSfvOutcome::Ok ? verified : failures);
  });
  if (!read) {
    ShowError(ecOpenForReading, path);
    return 1;
  }
  context.Out << verified << " OK, " << failures << " bad\n";
  return failures > 0 || verified == 0 ? 1 : 0;
}
