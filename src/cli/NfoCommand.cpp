// SPDX-License-Identifier: GPL-3.0-or-later
// tamberlon-cli nfo: one album's .nfo and the documents chosen with it, or every album
// below folders.
#include "cli/AlbumRun.h"
#include "cli/DocumentCommands.h"
#include "cli/PostCommand.h"

#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/Host.h"
#include "common/TextUnit.h"
#include "common/TrackKinds.h"
#include "generate/EncodingUnit.h"
#include "generate/SaveDocumentsUnit.h"
#include "platform/ConsoleHost.h"

#include <exception>

namespace {
// The request the options make, and what a character the encoding lacks does.
struct TNfoRun {
  TSaveRequest Save;
  TNfoEncoding Encoding = TNfoEncoding::Utf8;
  std::string Unmappable = "fail"; // --unmappable: fail, ask or replace
  bool WriteUnmappable = false;    // the run agreed to "?" in their place
};

// Nothing when every option was read into the run, else why not (said).
std::optional<TAlbumOutcome> ReadNfoOptions(const TCliArguments& arguments, TCliContext& context,
                                            TAlbumSession& session, TNfoRun& nfo) {
  const std::string* encodingName = arguments.Value("--encoding");
  const auto encoding = encodingName ? EncodingNamed(*encodingName) : session.Encoding();
  if (!encoding) {
    context.Err << "tamberlon-cli: --encoding takes utf-8, cp437 or windows-1252\n";
    return TAlbumOutcome::BadUsage;
  }
  nfo.Encoding = *encoding;
  session.SetEncoding(*encoding);
  // The compilation question is answered by the option; nothing is ever asked here.
  nfo.Save.UseVariousArtistsTemplate = arguments.Has("--various-artists-template");
  if (const std::string* templatePath = arguments.Value("--template")) {
    if (!FileExists(*templatePath)) {
      context.Err << ConsoleLine(*templatePath, "no such template");
      return TAlbumOutcome::BadUsage;
    }
    nfo.Save.TemplatePath = *templatePath;
  }
  nfo.Save.ChecksumProgress = ProgressLine(context, "Checksums");
  if (!RecoveryOptions(arguments, context, session.Preferences, nfo.Save))
    return TAlbumOutcome::BadUsage;
  // A character the encoding cannot hold is never replaced without a word: --unmappable
  // says whether it fails the save (the default), is asked about or becomes "?".
  if (const std::string* choice = arguments.Value("--unmappable"))
    nfo.Unmappable = FoldCase(*choice);
  if (nfo.Unmappable != "fail" && nfo.Unmappable != "ask" && nfo.Unmappable != "replace") {
    context.Err << "tamberlon-cli: --unmappable takes ask, fail or replace\n";
    return TAlbumOutcome::BadUsage;
  }
  return std::nullopt;
}

// True when characters the plan's encoding lacks stop the run (said); else the run
// agreed to "?" in their place, or there are none.
bool LacksCharacters(TNfoRun& nfo, const TSavePlan& plan, TCliContext& context) {
  const std::string& unmappable = plan.UnmappableWith(nfo.Save.UseVariousArtistsTemplate);
  if (unmappable.empty())
    return false;
  nfo.WriteUnmappable = nfo.Unmappable == "replace" ||
                        (nfo.Unmappable == "ask" &&
                         CurrentHost().ShowMessage(TMessageKind::Confirmation,
                                                   UnmappableQuestion(nfo.Encoding, unmappable)) ==
                             TMessageResult::Yes);
  if (!nfo.WriteUnmappable)
    context.Err << ConsoleLine("", std::string(EncodingName(nfo.Encoding)) +
                                       " has no place for these characters: " + unmappable +
                                       "; nothing written");
  return !nfo.WriteUnmappable;
}

// --stdout: the bytes Save would write, its final line break included.
TAlbumOutcome PrintNfo(TNfoRun& nfo, TAlbumSession& session, TCliContext& context) {
  nfo.Save.Chosen = {true};
  if (LacksCharacters(nfo, session.PlanSave(nfo.Save), context))
    return TAlbumOutcome::Failed;
  // Printing needs no file written: where the program folder cannot take a missing
  // template, its built-in default serves.
  const bool writable = !nfo.Save.TemplatePath.empty() || FolderIsWritable(GetProgramFolder());
  if (!writable)
    context.Err << ConsoleLine(GetProgramFolder(), "cannot be written; a missing template is "
                                                   "read as its built-in default");
  TNfoDraft draft;
  if (writable)
    draft = session.NfoText(nfo.Save);
  else
    draft.Text = session.DraftNfoText(nfo.Save);
  ShowProblems(draft.Problems);
  WriteDocument(context, EncodeText(draft.Text, nfo.Encoding).Bytes + "\r\n");
  return TAlbumOutcome::Written;
}

// The documents saved as the plan and the options answer it; each path written printed.
TAlbumOutcome SaveNfo(TNfoRun& nfo, TAlbumSession& session, const TCliArguments& arguments,
                      TCliContext& context) {
  const TSavePlan plan = session.PlanSave(nfo.Save);
  TSaveAnswers answers;
  answers.ReplaceExisting = arguments.Has("--force");
  // An album whose .nfo is there but a companion missing is completed, not skipped; one
  // whose documents are all there is skipped in one line (a shelf run again says little).
  for (const TDocument& document : plan.Documents)
    if (document.Exists && !answers.ReplaceExisting)
      answers.Keep.push_back(document.Path);
  if (!plan.Problem && answers.Keep.size() == plan.Documents.size() && plan.Documents.size() > 1) {
    context.Err << ConsoleLine(plan.Documents.front().Path,
                               "exists with the documents beside it; use --force to replace them");
    return TAlbumOutcome::Skipped;
  }
  for (const std::string& path : answers.Keep)
    Kept(path, true, arguments, context);
  if (!plan.Problem && answers.Keep.size() == plan.Documents.size())
    return TAlbumOutcome::Skipped;
  const bool nfoKept = plan.Request.Wants(TDocumentRole::Nfo) && !answers.Keep.empty() &&
                       answers.Keep.front() == plan.Request.NfoPath;
  if (!plan.Problem && !nfoKept && LacksCharacters(nfo, plan, context))
    return TAlbumOutcome::Failed;
  if (!plan.Problem && !StaleAllowed(AnsweredRequest(plan, answers), arguments, context))
    return TAlbumOutcome::Failed;
  answers.WriteUnmappable = nfo.WriteUnmappable;
  const TSaveResult saved = session.Save(plan, answers);
  ShowProblems(saved.Warnings);
  if (saved.Problem && !saved.Cancelled)
    ShowProblem(*saved.Problem);
  if (!saved.Saved())
    return saved.Exists ? TAlbumOutcome::Skipped : TAlbumOutcome::Failed;
  for (const std::string& path : saved.Written)
    context.Out << PrintableName(path) << "\n";
  for (const TProblem& skipped : saved.NotWritten) // said, and no failure
    context.Err << ConsoleLine("", skipped.Message);
  for (const TProblem& note : saved.Notes)
    context.Err << ConsoleLine(note.Path, "warning: " + note.Message);
  return TAlbumOutcome::Written;
}

// One album's .nfo (and companions) from the options; its files are the operands.
TAlbumOutcome WriteAlbumNfo(const TCliArguments& arguments, TCliContext& context,
                            std::size_t* unreadTracks = nullptr, std::string* nfoPath = nullptr) {
  TNfoRun nfo;
  for (const TDocumentKind& kind : DocumentKinds)
    if (!kind.Option.empty() && arguments.Has(kind.Option))
      nfo.Save.Chosen[static_cast<std::size_t>(kind.Role)] = true;
  // The checksums are left to the save: a save that measures the tracks takes them in the
  // same reading.
  TAlbumRun run;
  if (const auto failed = BuildAlbum(arguments, context, false, run))
    return *failed;
  if (unreadTracks)
    *unreadTracks = run.UnreadTracks;
  if (const auto failed = ReadNfoOptions(arguments, context, run.Session, nfo))
    return *failed;
  if (arguments.Has("--stdout"))
    return PrintNfo(nfo, run.Session, context);
  const std::string* output = arguments.Value("-o");
  nfo.Save.NfoPath = output ? *output : run.Folder + run.Session.Album().DefaultFileName();
  if (nfoPath)
    *nfoPath = nfo.Save.NfoPath;
  return SaveNfo(nfo, run.Session, arguments, context);
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
      context.Err << ConsoleLine(folders.Albums[i], problem.what());
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
  const bool post = arguments.Has("--post");
  if (post && (arguments.Has("--recursive") || arguments.Has("--stdout"))) {
    context.Err << "tamberlon-cli: --post posts the one album saved; it does not go with "
                   "--recursive or --stdout\n";
    return 2;
  }
  if (arguments.Has("--recursive"))
    return WriteCollection(arguments, context);
  std::string nfoPath;
  switch (WriteAlbumNfo(arguments, context, nullptr, &nfoPath)) {
  case TAlbumOutcome::Written:
    return post ? PostFiles({nfoPath}, arguments, context) : 0;
  case TAlbumOutcome::Skipped: // the set is there already: posting it is what was asked
    if (post)
      return PostFiles({nfoPath}, arguments, context);
    return 1;
  case TAlbumOutcome::BadUsage:
    return 2;
  default:
    return 1;
  }
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
                     "its track files (" +
                     TrackKindList() + "). An existing file is never replaced without --force.",
      .Run = RunNfo};
  std::vector<TCliOption>& options = command.Options;
  options = AlbumFieldOptions();
  options.push_back({"--group", "NAME", "a target newsgroup (repeat for more)", true});
  options.insert(options.end(), SortOptions.begin(), SortOptions.end());
  options.push_back({"--various-artists-template", "", "a compilation uses template-va.txt"});
  options.push_back({"--template", "FILE", "expand this template instead"});
  const std::vector<TCliOption> documents = DocumentOptions();
  options.insert(options.end(), documents.begin(), documents.end());
  options.push_back({"--extras", "",
                     "the album's other files (a cover, the .cue, the rip log: the window's "
                     "patterns) go into the .sfv and the PAR2 set too (default: as the "
                     "window's option)"});
  options.push_back({"--no-extras", "", "the tracks alone go into them"});
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
  options.push_back({"--post", "", "post the saved set (see post; its options apply)"});
  for (const TCliOption& option : PostOptionList)
    if (option.Name != "--group")
      options.push_back(option);
  return command;
}
