// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/SaveDocumentsUnit.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "common/TextListUnit.h"
#include "common/TextUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/NFOUnit.h"
#include "generate/SFVUnit.h"
#include "generate/TokenUnit.h"

#include <algorithm>
#include <memory>
#include <variant>

namespace {
bool UsesVariousArtistsTemplate(const TAlbumInfo& album, const TSaveRequest& request) {
  return album.VariousArtists && request.UseVariousArtistsTemplate.value_or(false);
}

// The generator of the .nfo with the template the request chooses, as it is on disk.
std::unique_ptr<TGenerate> NfoGenerator(const TAlbumInfo& album, const TSaveRequest& request) {
  std::unique_ptr<TGenerate> generator =
      request.TemplatePath.empty()
          ? std::make_unique<TNFO>(album, UsesVariousArtistsTemplate(album, request))
          : std::make_unique<TGenerate>(album, request.TemplatePath);
  generator->CodePage = request.Encoding != TNfoEncoding::Utf8;
  return generator;
}

TSaveResult Problem(std::string message, std::string path) {
  TSaveResult result;
  result.Message = std::move(message);
  result.Path = std::move(path);
  return result;
}

std::string BothPaths(const std::string& first, const std::string& second) {
  return first == second ? first : first + "\n" + second;
}

// One path, one role: two documents, or a document and an input, that are one file (by a
// link or a second name included).
std::optional<TSaveResult> Collision(const std::vector<TDocument>& documents,
                                     const std::vector<TInputFile>& inputs) {
  std::vector<std::string> inputIdentities;
  for (const TInputFile& input : inputs)
    inputIdentities.push_back(FileIdentity(input.Path));
  std::vector<std::string> identities;
  for (const TDocument& document : documents) {
    const std::string identity = FileIdentity(document.Path);
    for (std::size_t i = 0; i < identities.size(); ++i)
      if (identities[i] == identity)
        return Problem("The " + documents[i].Role + " and the " + document.Role +
                           " would be the same file; nothing was saved",
                       BothPaths(documents[i].Path, document.Path));
    for (std::size_t i = 0; i < inputs.size(); ++i)
      if (inputIdentities[i] == identity)
        return Problem("The " + document.Role + " would be written over the " + inputs[i].Role +
                           " it is made from; nothing was saved",
                       BothPaths(document.Path, inputs[i].Path));
    identities.push_back(identity);
  }
  return std::nullopt;
}

bool IsRecoveryRole(std::string_view role) {
  const auto row = CompanionNamed(role);
  return row && Companions[*row].Recovery;
}

// The recovery files of the tracks and of the documents being written, staged in the set;
// their paths, or the problem that keeps the save from writing anything.
std::variant<std::vector<std::string>, TSaveResult>
StageRecoveryFiles(const std::vector<TDocument>& documents, const std::vector<TInputFile>& inputs,
                   const TDocument& index, const TRecoverySettings& settings, TFileSet& set,
                   TWriteMode mode) {
  std::vector<TRecoveryInput> protectedFiles;
  const auto add = [&](const std::string& path, std::string_view bytes, bool inMemory) {
    const auto name = NameInFolderOf(index.Path, path);
    // A track chosen twice is one file of the set: names there are unique.
    const bool listed =
        name && std::any_of(protectedFiles.begin(), protectedFiles.end(),
                            [&](const TRecoveryInput& f) { return f.Name == *name; });
    if (name && !listed)
      protectedFiles.push_back({*name, inMemory ? std::string() : path, bytes});
    return name.has_value();
  };
  for (const TInputFile& input : inputs)
    if (input.Role == "track" && !add(input.Path, {}, false))
      return Problem("The recovery files can only name files in their folder or below it, and "
                     "this track is elsewhere; nothing was saved",
                     input.Path);
  for (const TDocument& document : documents)
    if (!IsRecoveryRole(document.Role))
      add(document.Path, document.Bytes, true);
  TRecoveryResult made = StageRecoverySet(protectedFiles, index.Path, settings, set, mode);
  if (made.Outcome == TRecoveryOutcome::Staged)
    return made.Paths;
  TSaveResult result = Problem(RecoveryProblem(made), made.Path);
  result.Exists = made.Write == TWriteResult::Exists;
  result.Cancelled = made.Outcome == TRecoveryOutcome::Cancelled;
  return result;
}

std::vector<TInputFile> AlbumInputs(const TAlbumInfo& album, const TSaveRequest& request) {
  std::vector<TInputFile> inputs = TrackInputs(album);
  if (!request.TemplatePath.empty())
    inputs.push_back({"template", request.TemplatePath});
  return inputs;
}
} // namespace

std::vector<TInputFile> TrackInputs(const TAlbumInfo& album) {
  std::vector<TInputFile> inputs;
  for (const TTrackEntry& track : album.Tracks)
    inputs.push_back({"track", track.Path});
  return inputs;
}

std::string GenerateNfoText(const TAlbumInfo& album, const TSaveRequest& request) {
  auto nfo = NfoGenerator(album, request);
  nfo->Generate();
  return nfo->Output;
}

std::string DraftNfoText(const TAlbumInfo& album, const TSaveRequest& request) {
  auto nfo = NfoGenerator(album, request);
  if (nfo->Template.empty() && request.TemplatePath.empty())
    nfo->Template = JoinTextLines(DefaultNfoTemplateOfFile(
        NfoTemplatePath(album, UsesVariousArtistsTemplate(album, request))));
  nfo->Generate();
  return nfo->Output;
}

std::string UnmappableCharacters(const TAlbumInfo& album, const TSaveRequest& request) {
  if (request.Encoding == TNfoEncoding::Utf8)
    return {};
  return EncodeText(DraftNfoText(album, request), request.Encoding).Unmappable;
}

void PrepareTemplates(const TAlbumInfo& album, const TSaveRequest& request) {
  if (request.WithNfo && request.TemplatePath.empty())
    PrepareNfoTemplate(album, UsesVariousArtistsTemplate(album, request));
  for (std::size_t i = 0; i < Companions.size(); ++i)
    if (request.Companions[i] && Companions[i].PrepareTemplate)
      Companions[i].PrepareTemplate();
}

std::optional<std::string> ComputeChecksumsTheNfoUses(TAlbumInfo& album,
                                                      const TSaveRequest& request) {
  if (NfoGenerator(album, request)->Template.find(token::TrackChecksum) == std::string::npos)
    return std::nullopt;
  return ComputeMissingChecksums(album, request.ChecksumProgress);
}

std::vector<TDocument> PlannedDocuments(const TSaveRequest& request) {
  std::vector<TDocument> documents;
  if (request.WithNfo)
    documents.push_back({".nfo", request.NfoPath, {}, FileExists(request.NfoPath)});
  for (std::size_t i = 0; i < Companions.size(); ++i)
    if (request.Companions[i]) {
      const std::string path = CompanionPath(request.NfoPath, Companions[i].Extension);
      const bool exists = Companions[i].Recovery ? RecoveryFilesExist(path) : FileExists(path);
      documents.push_back({std::string(Companions[i].Role), path, {}, exists});
    }
  return documents;
}

const std::string& TSavePlan::UnmappableWith(std::optional<bool> variousArtists) const {
  return Unmappable[CompilationQuestion && variousArtists.value_or(false) ? 1 : 0];
}

TSavePlan PlanSave(const TAlbumInfo& album, TSaveRequest request) {
  TSavePlan plan;
  plan.Documents = PlannedDocuments(request);
  plan.Problem = UnlistableTrackName(album, request.Companions);
  if (!plan.Problem)
    plan.Problem = Collision(plan.Documents, AlbumInputs(album, request));
  plan.CompilationQuestion = request.WithNfo && album.VariousArtists &&
                             !request.UseVariousArtistsTemplate && request.TemplatePath.empty();
  if (request.WithNfo) {
    plan.Unmappable[0] = UnmappableCharacters(album, request);
    plan.Unmappable[1] = plan.Unmappable[0];
    if (plan.CompilationQuestion) {
      TSaveRequest various = request;
      various.UseVariousArtistsTemplate = true;
      plan.Unmappable[1] = UnmappableCharacters(album, various);
    }
  }
  plan.Request = std::move(request);
  return plan;
}

TSaveRequest AnsweredRequest(const TSavePlan& plan, const TSaveAnswers& answers) {
  TSaveRequest request = plan.Request;
  if (answers.UseVariousArtistsTemplate)
    request.UseVariousArtistsTemplate = answers.UseVariousArtistsTemplate;
  const auto kept = [&](const std::string& path) {
    return std::find(answers.Keep.begin(), answers.Keep.end(), path) != answers.Keep.end();
  };
  request.WithNfo = request.WithNfo && !kept(request.NfoPath);
  for (std::size_t i = 0; i < Companions.size(); ++i)
    request.Companions[i] =
        request.Companions[i] && !kept(CompanionPath(request.NfoPath, Companions[i].Extension));
  return request;
}

std::optional<TSaveResult> UnlistableTrackName(const TAlbumInfo& album,
                                               const TCompanionChoice& companions) {
  for (const TTrackEntry& track : album.Tracks) {
    const std::string name = FileNamePart(track.Path);
    const bool control = std::any_of(name.begin(), name.end(), IsControlCharacter);
    if (control)
      return Problem("The name of this track holds a line break or another control character, "
                     "which the album's lists cannot hold; nothing was saved",
                     track.Path);
    for (std::size_t i = 0; i < Companions.size(); ++i) {
      const std::string_view comment = Companions[i].CommentStart;
      if (companions[i] && !comment.empty() && name.starts_with(comment))
        return Problem("The name of this track starts with \"" + std::string(comment) +
                           "\", which makes its line of the " + std::string(Companions[i].Role) +
                           " file a comment; nothing was saved",
                       track.Path);
    }
  }
  return std::nullopt;
}

TSaveResult WriteDocuments(const std::vector<TDocument>& documents,
                           const std::vector<TInputFile>& inputs, bool replaceExisting,
                           const TRecoverySettings& recovery) {
  if (auto collision = Collision(documents, inputs))
    return *collision;
  TFileSet set;
  const TWriteMode mode = replaceExisting ? TWriteMode::Replace : TWriteMode::CreateOnly;
  TWriteResult written = TWriteResult::Written;
  std::string failed;
  const TDocument* recoveryIndex = nullptr;
  for (const TDocument& document : documents) {
    if (IsRecoveryRole(document.Role)) {
      recoveryIndex = &document;
      continue;
    }
    if ((written = set.Add(document.Path, document.Bytes, mode)) != TWriteResult::Written) {
      failed = document.Path;
      break;
    }
  }
  std::vector<std::string> recoveryPaths;
  if (written == TWriteResult::Written && recoveryIndex) {
    const auto staged = StageRecoveryFiles(documents, inputs, *recoveryIndex, recovery, set, mode);
    if (std::holds_alternative<TSaveResult>(staged))
      return std::get<TSaveResult>(staged);
    recoveryPaths = std::get<std::vector<std::string>>(staged);
  }
  if (written == TWriteResult::Written)
    written = set.Commit(&failed);
  if (written == TWriteResult::Exists) {
    TSaveResult result =
        Problem("This file appeared while the album was being saved; it was kept, and nothing "
                "was saved",
                failed);
    result.Exists = true;
    return result;
  }
  if (written != TWriteResult::Written)
    return Problem(std::string(ErrorMessage(ecOpenForWriting)), failed);
  TSaveResult result;
  result.Saved = true;
  for (const TDocument& document : documents)
    if (!IsRecoveryRole(document.Role))
      result.Written.push_back(document.Path);
  result.Written.insert(result.Written.end(), recoveryPaths.begin(), recoveryPaths.end());
  return result;
}

TSaveResult SaveAlbumDocuments(TAlbumInfo& album, const TSaveRequest& request,
                               bool replaceExisting) {
  if (auto problem = UnlistableTrackName(album, request.Companions))
    return *problem;
  std::vector<TDocument> documents = PlannedDocuments(request);
  const std::vector<TInputFile> inputs = AlbumInputs(album, request);
  if (auto collision = Collision(documents, inputs)) // before any checksum is read
    return *collision;
  for (TDocument& document : documents) {
    if (IsRecoveryRole(document.Role))
      continue; // made from the others as they are written
    if (document.Role == ".nfo") {
      if (const auto unread = ComputeChecksumsTheNfoUses(album, request))
        return Problem("The checksum of this track could not be read; nothing was saved", *unread);
      document.Bytes = EncodeText(GenerateNfoText(album, request), request.Encoding).Bytes + "\r\n";
      continue;
    }
    const TCompanion& companion = Companions[*CompanionNamed(document.Role)];
    // Tracks chosen without checksums get them now: placeholders make no checksum list.
    if (companion.ReadsChecksums)
      if (const auto unread = ComputeMissingChecksums(album, request.ChecksumProgress))
        return Problem("The checksum of this track could not be read; nothing was saved", *unread);
    document.Bytes = companion.Make(album, document.Path);
  }
  return WriteDocuments(documents, inputs, replaceExisting, request.Recovery);
}

std::string ReplaceQuestion(const std::string& path) {
  return FileNamePart(path) + " already exists.\nDo you want to replace it?";
}

std::string ReplaceQuestion(const std::vector<std::string>& paths) {
  if (paths.size() == 1)
    return ReplaceQuestion(paths.front());
  std::string names;
  for (std::size_t i = 0; i < paths.size(); ++i)
    names += (i == 0 ? "" : i + 1 == paths.size() ? " and " : ", ") + FileNamePart(paths[i]);
  return names + " already exist.\nDo you want to replace them?";
}

std::string UnmappableQuestion(TNfoEncoding encoding, const std::string& characters) {
  return "The encoding " + std::string(EncodingCaption(encoding)) +
         " has no place for these characters: " + characters +
         "\nSave the .NFO file with \"?\" in their place?";
}

std::string CompanionsKeptNote(const std::vector<std::string>& paths) {
  std::string names = paths.empty() ? std::string() : FileNamePart(paths.front());
  for (std::size_t i = 1; i < paths.size(); ++i)
    names += " and " + FileNamePart(paths[i]);
  return "The .NFO file was saved; the existing " + names + (paths.size() == 1 ? " was" : " were") +
         " kept.";
}
