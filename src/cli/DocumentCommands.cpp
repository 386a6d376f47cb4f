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
#include <filesystem>
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
    "--vbr", "--no-vbr", "--sort",  "--no-sort",   "--sfv",
    "--m3u", "--stdout", "--force", "--recursive", "--various-artists-template"};

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
  int year = 0, month = 0, day = 0;
  char dash1 = 0, dash2 = 0;
  if (std::sscanf(text.c_str(), "%4d%c%2d%c%2d", &year, &dash1, &month, &dash2, &day) != 5 ||
      dash1 != '-' || dash2 != '-' || month < 1 || month > 12 || day < 1 || day > 31)
    return std::nullopt;
  return EncodeDateTime({year, month, day, 0, 0, 0});
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

// The album as the window makes it: preferences, tracks, majorities, then the options.
struct TAlbumRun {
  TAlbumSession Session;
  std::string Folder;
};

bool BuildAlbum(const TOptions& options, TCliContext& context, bool withChecksum, TAlbumRun& run) {
  TAlbumSession& session = run.Session;
  session.Preferences = ReadPreferences(GetPreferencesPath());
  const TPreferences& preferences = session.Preferences;
  std::vector<std::string> paths = ExpandTrackFolders(options.Files);
  if (paths.empty()) {
    context.Err << "tamberlon-cli: no MP3 files given\n";
    return false;
  }
  // The window only offers files that exist; a mistyped name here is told, not listed.
  for (const std::string& path : paths)
    if (!std::filesystem::exists(path)) {
      context.Err << "tamberlon-cli: " << path << ": no such file\n";
      return false;
    }
  const bool sort =
      options.Has("--sort") || (preferences.SortSelections && !options.Has("--no-sort"));
  if (sort)
    SortIgnoringCase(paths);
  run.Folder = paths.front().substr(0, paths.front().rfind('/') + 1);

  TTrackObserver observer;
  observer.Idle = ReadingProgress(context);
  session.ChooseTracks(paths, withChecksum, observer);

  TAlbumFieldTexts boxes;
  boxes.Encoder = preferences.Encoder;
  boxes.Codec = preferences.Codec;
  boxes.RippedBy = preferences.RippedBy;
  boxes.PostedBy = preferences.PostedBy;
  boxes.PostDate = CurrentHost().Now();
  session.SetTexts(boxes);
  session.FillFields();
  boxes = session.Texts();

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
      return false;
    }
    boxes.StereoMode = *index;
  }
  for (const auto& [name, field] : {std::pair{"--rip-date", &TAlbumFieldTexts::RipDate},
                                    std::pair{"--post-date", &TAlbumFieldTexts::PostDate}})
    if (const std::string* value = options.Value(name)) {
      const auto date = IsoDate(*value);
      if (!date) {
        context.Err << "tamberlon-cli: " << name << " takes a date as YYYY-MM-DD\n";
        return false;
      }
      boxes.*field = *date;
    }
  session.SetTexts(boxes);
  session.SetNewsGroups(options.Groups.empty() ? preferences.NGPostedTo : options.Groups);
  session.StoreFields();
  return true;
}

bool Refuses(const std::string& path, const TOptions& options, TCliContext& context) {
  if (options.Has("--force") || !std::filesystem::exists(path))
    return false;
  context.Err << "tamberlon-cli: " << path << ": exists; use --force to replace it\n";
  return true;
}
} // namespace

namespace {
enum class TAlbumOutcome { Written, Skipped, Failed, BadUsage };

// One album's .nfo (and companions) from the options; its files are options.Files.
TAlbumOutcome WriteAlbumNfo(const TOptions& options, TCliContext& context) {
  const bool withSfv = options.Has("--sfv");
  const bool withM3u = options.Has("--m3u");
  TAlbumRun run;
  if (!BuildAlbum(options, context, withSfv, run))
    return TAlbumOutcome::BadUsage;
  const std::string* encodingName = options.Value("--encoding");
  const auto encoding =
      EncodingNamed(encodingName ? *encodingName : run.Session.Preferences.NfoEncoding);
  if (!encoding) {
    context.Err << "tamberlon-cli: --encoding takes utf-8, cp437 or windows-1252\n";
    return TAlbumOutcome::BadUsage;
  }
  run.Session.SetEncoding(*encoding);

  TSaveRequest save;
  save.WithSfv = withSfv;
  save.UseVariousArtistsTemplate = options.Has("--various-artists-template");
  if (const std::string* templatePath = options.Value("--template")) {
    if (!FileExists(*templatePath)) {
      context.Err << "tamberlon-cli: " << *templatePath << ": no such template\n";
      return TAlbumOutcome::BadUsage;
    }
    save.TemplatePath = *templatePath;
  }
  // A character the encoding cannot hold is never replaced without a word.
  if (const std::string unmappable = run.Session.Unmappable(save); !unmappable.empty()) {
    context.Err << "tamberlon-cli: " << EncodingName(*encoding)
                << " has no place for these characters: " << unmappable << "; nothing written\n";
    return TAlbumOutcome::Failed;
  }
  if (options.Has("--stdout")) {
    context.Out << EncodeText(run.Session.NfoText(save), *encoding).Bytes;
    return TAlbumOutcome::Written;
  }
  const std::string* output = options.Value("-o");
  save.NfoPath = output ? *output : run.Folder + run.Session.Album().DefaultFileName();
  save.WithM3u = withM3u;
  if (Refuses(save.NfoPath, options, context) ||
      (withSfv && Refuses(SfvPathFor(save.NfoPath), options, context)) ||
      (withM3u && Refuses(M3uPathFor(save.NfoPath), options, context)))
    return TAlbumOutcome::Skipped;
  save.ChecksumProgress = ProgressLine(context, "Checksums");
  // Replacing was refused above without --force; nothing is asked, nothing remembered.
  if (!run.Session.Save(save, false, false).Saved)
    return TAlbumOutcome::Failed;
  context.Out << save.NfoPath << "\n";
  if (withSfv)
    context.Out << SfvPathFor(save.NfoPath) << "\n";
  if (withM3u)
    context.Out << M3uPathFor(save.NfoPath) << "\n";
  return TAlbumOutcome::Written;
}

// Every folder at or below the roots that holds MP3 files, in order.
std::vector<std::string> AlbumFolders(const std::vector<std::string>& roots) {
  std::vector<std::string> folders;
  const auto holdsTracks = [](const std::string& folder) {
    return !ExpandTrackFolders({folder}).empty();
  };
  for (const std::string& root : roots) {
    std::error_code error;
    if (!std::filesystem::is_directory(root, error))
      continue;
    const std::string top = root.ends_with('/') ? root : root + "/";
    if (holdsTracks(top))
      folders.push_back(top);
    for (std::filesystem::recursive_directory_iterator
             at(root, std::filesystem::directory_options::skip_permission_denied, error),
         end;
         at != end; at.increment(error))
      if (at->is_directory(error) && !at->is_symlink(error) &&
          holdsTracks(at->path().string() + "/"))
        folders.push_back(at->path().string() + "/");
  }
  std::sort(folders.begin(), folders.end());
  return folders;
}

// Whole collections: one album a folder, one after another, each read with all cores.
int WriteCollection(TOptions options, TCliContext& context) {
  if (options.Value("-o") || options.Has("--stdout")) {
    context.Err << "tamberlon-cli: --recursive writes each album in its own folder; "
                   "-o and --stdout do not apply\n";
    return 2;
  }
  const std::vector<std::string> folders = AlbumFolders(options.Files);
  std::size_t written = 0, skipped = 0, failed = 0;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (context.ShowProgress)
      context.Err << "Album " << i + 1 << "/" << folders.size() << ": " << folders[i] << "\n";
    options.Files = {folders[i]};
    switch (WriteAlbumNfo(options, context)) {
    case TAlbumOutcome::Written:
      ++written;
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
  context.Out << folders.size() << (folders.size() == 1 ? " album: " : " albums: ") << written
              << " written, " << skipped << " skipped, " << failed << " failed\n";
  return failed > 0 ? 1 : 0;
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
  if (!BuildAlbum(*options, context, true, run))
    return 2;
  TSFV sfv(run.Session.Album());
  sfv.Generate();
  if (options->Has("--stdout")) {
    context.Out << sfv.Output << "\r\n";
    return 0;
  }
  const std::string* output = options->Value("-o");
  const std::string path =
      output ? *output : SfvPathFor(run.Folder + run.Session.Album().DefaultFileName());
  if (Refuses(path, *options, context))
    return 1;
  if (!sfv.SaveToFile(path)) {
    ShowError(ecOpenForWriting, path);
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
  std::size_t entries = 0;
  std::size_t failures = 0;
  const bool read = ForEachSfvLine(path, [&](std::size_t number, const TSfvLine& line) {
    if (line.Kind == TSfvLineKind::Malformed)
      context.Err << "tamberlon-cli: " << path << ":" << number << ": not an SFV line\n";
    if (line.Kind != TSfvLineKind::Entry)
      return;
    const TSfvOutcome outcome = CheckSfvEntry(line.Entry, folder);
    context.Out << line.Entry.Name << " " << SfvOutcomeWord(outcome) << "\n";
    ++entries;
    failures += outcome != TSfvOutcome::Ok;
  });
  if (!read) {
    ShowError(ecOpenForReading, path);
    return 1;
  }
  context.Out << entries - failures << " OK, " << failures << " bad\n";
  return failures > 0 || entries == 0 ? 1 : 0;
}
