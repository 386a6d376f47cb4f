// SPDX-License-Identifier: GPL-3.0-or-later
// tamberlon-cli sfv: the .sfv checksum list of files, as the save writes it.
#include "cli/AlbumRun.h"
#include "cli/DocumentCommands.h"

#include "common/AppVersionUnit.h"
#include "generate/SaveDocumentsUnit.h"

namespace {
int RunSfv(const TCliArguments& arguments, TCliContext& context) {
  TAlbumRun run;
  run.AudioMatters = false;
  if (const auto failed = BuildAlbum(arguments, context, true, run))
    return *failed == TAlbumOutcome::BadUsage ? 2 : 1;
  TAlbumInfo& album = run.Session.Album();
  const TSaveRequest request = OneDocument(run, arguments, TDocumentRole::Sfv);
  if (const auto problem = UnlistableTrack(album, request)) {
    ShowProblem(*problem);
    return 1;
  }
  // A track whose checksum could not be read was named as it was read: no .sfv without it.
  for (const TTrackEntry& track : album.Tracks)
    if (!track.Info || track.Info->Checksum == NoChecksum)
      return 1;
  TSaveContext saveContext(GetProgramFolder());
  PrepareTemplates(album, request, saveContext);
  ShowProblems(saveContext.Problems);
  if (arguments.Has("--stdout")) {
    const TMade made = MakeDocumentBytes(album, request, TDocumentRole::Sfv, saveContext);
    WriteDocument(context, made.Bytes);
    return 0;
  }
  return WriteOneDocument(album, request, TDocumentRole::Sfv, arguments, context, saveContext);
}
} // namespace

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
