// SPDX-License-Identifier: GPL-3.0-or-later
// tamberlon-cli par2: PAR2 recovery files for files, as the save writes them.
#include "cli/AlbumRun.h"
#include "cli/DocumentCommands.h"

#include "common/AppVersionUnit.h"
#include "generate/SaveDocumentsUnit.h"

namespace {
int RunPar2(const TCliArguments& arguments, TCliContext& context) {
  TAlbumRun run;
  run.AudioMatters = false;
  if (const auto failed = BuildAlbum(arguments, context, false, run))
    return *failed == TAlbumOutcome::BadUsage ? 2 : 1;
  TSaveRequest request = OneDocument(run, arguments, TDocumentRole::Par2);
  if (!RecoveryOptions(arguments, context, run.Session.Preferences, request))
    return 2;
  TSaveContext saveContext(GetProgramFolder());
  return WriteOneDocument(run.Session.Album(), request, TDocumentRole::Par2, arguments, context,
                          saveContext);
}
} // namespace

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
