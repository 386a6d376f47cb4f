// SPDX-License-Identifier: GPL-3.0-or-later
// Each document kind's own code: whether it exists, its template step, and its Make.
#include "generate/DocumentKinds.h"
#include "generate/DrLogDocument.h"
#include "generate/FfpDocument.h"

#include "common/FileUnit.h"
#include "common/GzipUnit.h"
#include "common/TrackKinds.h"
#include "generate/AlbumExtras.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/EncodingUnit.h"
#include "generate/NFOUnit.h"
#include "generate/PlaylistUnit.h"
#include "generate/SFVUnit.h"
#include "generate/SaveContext.h"
#include "generate/SaveDocumentsUnit.h"
#include "generate/SfvCheckUnit.h"
#include "par2/RecoveryPackets.h"
#include "par2/RecoverySetUnit.h"

#include <algorithm>
#include <variant>

namespace {
// A one-file document: its bytes staged in the set, when there is one.
TMade Staged(const TMakeJob& job, std::string bytes) {
  TMade made;
  made.Bytes = std::move(bytes);
  if (!job.Set)
    return made;
  const TWriteResult written = job.Set->Add(job.Path, made.Bytes, job.Mode);
  if (written != TWriteResult::Written)
    made.Result = WriteFailure(written, job.Path);
  else
    made.Result.Written.push_back(job.Path);
  return made;
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
} // namespace

std::string CompanionPath(const std::string& nfoPath, std::string_view extension) {
  const std::size_t nameStart = nfoPath.rfind('/') + 1; // 0 when there is no folder
  const std::size_t dot = nfoPath.rfind('.');
  if (dot == std::string::npos || dot < nameStart)
    return nfoPath + std::string(extension);
  return nfoPath.substr(0, dot) + std::string(extension);
}

namespace document {
std::vector<std::string> NamesInSfv(const std::string& path) {
  std::vector<std::string> names;
  ForEachSfvLine(path, [&](std::size_t, const TSfvLine& line) {
    if (line.Kind == TSfvLineKind::Entry)
      names.push_back(line.Entry.Name);
  });
  return names;
}

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

void PrepareNfoTemplate(const TAlbumInfo& album, const TSaveRequest& request,
                        TSaveContext& context) {
  if (!request.TemplatePath.empty())
    return;
  const bool various = album.VariousArtists && request.UseVariousArtistsTemplate.value_or(false);
  if (auto problem = ::PrepareNfoTemplate(album, various, &context))
    context.Problems.push_back(std::move(*problem));
}

void PrepareSfvTemplate(const TAlbumInfo&, const TSaveRequest&, TSaveContext& context) {
  if (auto problem = ::PrepareSfvTemplate(&context))
    context.Problems.push_back(std::move(*problem));
}

TMade MakeNfo(const TMakeJob& job) {
  if (const auto unread = ComputeChecksumsTheNfoUses(job.Album, job.Request, *job.Context)) {
    TMade made;
    made.Result =
        SaveFailure("The checksum of this track could not be read; nothing was saved", *unread);
    return made;
  }
  if (!MeasureWhatTheNfoShows(job.Album, job.Request, *job.Context)) {
    TMade made;
    made.Result.Cancelled = true;
    return made;
  }
  const std::string text = GenerateNfoText(job.Album, job.Request, *job.Context);
  return Staged(job, EncodeText(text, job.Request.Encoding).Bytes + "\r\n");
}

TMade MakeSfv(const TMakeJob& job) {
  if (const auto unread = ComputeExtraChecksums(job.Album)) {
    TMade made;
    made.Result =
        SaveFailure("The checksum of this file could not be read; nothing was saved", *unread);
    return made;
  }
  TSFV sfv(job.Album, job.Path, job.Context);
  if (!job.Album.Extras.empty())
    sfv.Template = SfvTemplateWithExtras(std::move(sfv.Template));
  sfv.Generate();
  return Staged(job, sfv.Output + "\r\n");
}

TMade MakeM3u(const TMakeJob& job) {
  return Staged(job, M3uText(job.Album, job.Path));
}

bool HasFlacTracks(const TAlbumInfo& album) {
  return std::any_of(album.Tracks.begin(), album.Tracks.end(), [](const TTrackEntry& track) {
    return TrackKindOfName(track.Path) == TTrackKind::FLAC;
  });
}

TMade MakeFfp(const TMakeJob& job) {
  const TFfpText ffp = FfpText(job.Album, job.Path);
  TMade made;
  if (ffp.Unreadable)
    made.Result = SaveFailure("The FLAC stream information of this track could not be read; "
                              "nothing was saved",
                              *ffp.Unreadable);
  else if (!ffp.AnyFlac)
    made.Result = SaveFailure("An .ffp lists FLAC tracks, and the album has none; nothing was "
                              "saved",
                              job.Path);
  else
    return Staged(job, ffp.Text);
  return made;
}

TMade MakeDrLog(const TMakeJob& job) {
  const TDrLog log = DrLogText(job.Album, job.Request.MakingProgress);
  TMade made;
  if (log.Cancelled)
    made.Result.Cancelled = true;
  else if (log.NotMeasured)
    made.Result = SaveFailure("The DR log measures every track, and this track could not be "
                              "measured; nothing was saved",
                              *log.NotMeasured);
  else
    return Staged(job, log.Text);
  return made;
}

TMade MakeNzb(const TMakeJob& job) {
  if (!job.Request.Posted) {
    TMade made;
    made.Result = SaveFailure("An .nzb is made only by posting the release", job.Path);
    return made;
  }
  if (!IsCompressedNzbPath(job.Path))
    return Staged(job, NzbText(*job.Request.Posted));
  const auto compressed = GzipBytes(NzbText(*job.Request.Posted));
  if (!compressed) {
    TMade made;
    made.Result = SaveFailure("The .nzb could not be compressed; nothing was saved", job.Path);
    return made;
  }
  return Staged(job, *compressed);
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
      job.Context->Problems.push_back({*shortfall, job.Path});
    return made;
  }
  made.Result = SaveFailure(RecoveryProblem(set), set.Path);
  made.Result.Exists = set.Write == TWriteResult::Exists;
  made.Result.Cancelled = set.Outcome == TRecoveryOutcome::Cancelled;
  return made;
}
} // namespace document
