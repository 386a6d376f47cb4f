// SPDX-License-Identifier: GPL-3.0-or-later
// The PAR2 recovery set: made last of a save's documents, since it protects them too.
#include "generate/DocumentKinds.h"

#include "generate/SaveContext.h"
#include "generate/SaveDocumentsUnit.h"
#include "par2/RecoveryPackets.h"
#include "par2/RecoverySetUnit.h"

#include <algorithm>
#include <variant>

namespace {
std::vector<std::string> NamesInRecoverySet(const std::string& path) {
  TRecoverySetReader reader;
  std::vector<std::string> names;
  if (!ReadPacketsOfFile(path, [&](const TPacket& packet) { reader.Take(packet); }))
    return names;
  if (const auto set = reader.Description())
    for (const TFileDescription& file : set->Files)
      names.push_back(file.Name);
  return names;
}

// The files the recovery set protects: the tracks, then the documents made before it.
std::variant<std::vector<TRecoveryInput>, TSaveResult> ProtectedFiles(const TMakeJob& job) {
  std::vector<TRecoveryInput> files;
  const auto add = [&](const std::string& path, std::string_view bytes, bool inMemory) {
    const std::optional<std::string> name = NameInFolderOf(job.Path, path);
    // A track chosen twice is one file of the set: names there are unique.
    const bool listed = name && std::any_of(files.begin(), files.end(),
                                            [&](const auto& file) { return file.Name == *name; });
    if (name && !listed)
      files.push_back({*name, inMemory ? std::string() : path, bytes});
    return name.has_value();
  };
  for (const TInputFile& input : job.Inputs)
    if (input.Role != TInputRole::Template && !add(input.Path, {}, false)) {
      TSaveResult failed;
      failed.Problem = TrackOutsideFolder(KindOf(TDocumentRole::Par2), input.Path);
      return failed;
    }
  for (const TMadeFile& document : job.Made)
    add(document.Path, document.Bytes, true);
  return files;
}

TMade MakeRecoverySet(const TMakeJob& job) {
  TMade made;
  if (!job.Set) {
    made.Result = SaveFailure("Recovery files are only written as files", job.Path);
    return made;
  }
  auto files = ProtectedFiles(job);
  if (auto* failed = std::get_if<TSaveResult>(&files)) {
    made.Result = std::move(*failed);
    return made;
  }
  TRecoverySettings settings = job.Request.Recovery;
  settings.Progress = job.Request.MakingProgress;
  const TRecoveryResult set =
      StageRecoverySet(std::get<0>(files), job.Path, settings, *job.Set, job.Mode);
  if (set.Outcome == TRecoveryOutcome::Staged) {
    made.Result.Written = set.Paths;
    if (const auto shortfall = RecoveryShortfall(set); shortfall && job.Context)
      job.Context->Notes.push_back({*shortfall, job.Path});
    return made;
  }
  made.Result = SaveFailure(RecoveryProblem(set), set.Path);
  made.Result.Exists = set.Write == TWriteResult::Exists;
  made.Result.Cancelled = set.Outcome == TRecoveryOutcome::Cancelled;
  return made;
}
} // namespace

const TDocumentKind document::Par2Kind{
    .Role = TDocumentRole::Par2,
    .Name = ".par2",
    .Extension = ".par2",
    .PreferenceKey = "MakePAR2",
    .MenuName = "GeneratePAR2files1",
    .MenuText = "Generate .PAR2 recovery files also",
    .Option = "--par2",
    .OptionHelp = "also write PAR2 recovery files for the tracks and the documents",
    .ListsTracks = true,
    .Exists = ::RecoveryFilesExist,
    .NamesListed = NamesInRecoverySet,
    .Make = MakeRecoverySet,
    .Posted = TDocumentKind::AfterTracks};
