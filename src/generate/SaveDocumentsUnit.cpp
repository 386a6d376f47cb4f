// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/SaveDocumentsUnit.h"

#include "analysis/AlbumAnalysis.h"
#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "common/TextListUnit.h"
#include "common/TextUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/AnalysisTexts.h"
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

// The generator of the .nfo with the template the request chooses, as the context has it.
std::unique_ptr<TGenerate> NfoGenerator(const TAlbumInfo& album, const TSaveRequest& request,
                                        TSaveContext& context) {
  std::unique_ptr<TGenerate> generator =
      request.TemplatePath.empty()
          ? std::make_unique<TNFO>(album, UsesVariousArtistsTemplate(album, request), &context)
          : std::make_unique<TGenerate>(album, request.TemplatePath, &context);
  generator->CodePage = request.Encoding != TNfoEncoding::Utf8;
  return generator;
}

std::string BothPaths(const std::string& first, const std::string& second) {
  return first == second ? first : first + "\n" + second;
}

// One path, one role: two documents, or a document and an input, that are one file (by a
// link or a second name included).
std::optional<TProblem> Collision(const std::vector<TDocument>& documents,
                                  const std::vector<TInputFile>& inputs) {
  std::vector<std::string> inputIdentities;
  for (const TInputFile& input : inputs)
    inputIdentities.push_back(FileIdentity(input.Path));
  std::vector<std::string> identities;
  for (const TDocument& document : documents) {
    const std::string identity = FileIdentity(document.Path);
    const std::string_view name = KindOf(document.Role).Name;
    for (std::size_t i = 0; i < identities.size(); ++i)
      if (identities[i] == identity)
        return TProblem{"The " + std::string(KindOf(documents[i].Role).Name) + " and the " +
                            std::string(name) + " would be the same file; nothing was saved",
                        BothPaths(documents[i].Path, document.Path)};
    for (std::size_t i = 0; i < inputs.size(); ++i)
      if (inputIdentities[i] == identity)
        return TProblem{"The " + std::string(name) + " would be written over the " +
                            std::string(InputRoleName(inputs[i].Role)) +
                            " it is made from; nothing was saved",
                        BothPaths(document.Path, inputs[i].Path)};
    identities.push_back(identity);
  }
  return std::nullopt;
}

std::vector<TInputFile> AlbumInputs(const TAlbumInfo& album, const TSaveRequest& request) {
  std::vector<TInputFile> inputs = TrackInputs(album);
  for (const TExtraFile& extra : album.Extras)
    inputs.push_back({TInputRole::Extra, extra.Path});
  if (!request.TemplatePath.empty())
    inputs.push_back({TInputRole::Template, request.TemplatePath});
  return inputs;
}

bool ShowsChecksums(std::string_view nfoTemplate) {
  return nfoTemplate.find(token::TrackChecksum) != std::string_view::npos;
}

// A checksum or a measurement taken of a file that has changed since (its tags edited after
// the tracks were chosen) is taken again.
void ForgetOutgrown(TAlbumInfo& album) {
  if (album.Analysis && !MeasurementOfTheTracks(album, false))
    album.Analysis.reset(); // measured again where a document shows it
  for (TTrackEntry& track : album.Tracks)
    if (track.Info && track.Info->ChecksumStamp &&
        FileStampOf(track.Path) != track.Info->ChecksumStamp) {
      track.Info->Checksum = NoChecksum;
      track.Info->ChecksumStamp.reset();
    }
}

// A file whose checksum or measurement the documents show and that changed while the save
// went on: its line or figures would disagree with the file and with the recovery files.
std::optional<std::string> ChangedSinceItsChecksum(const TAlbumInfo& album,
                                                   const TSaveRequest& request,
                                                   TSaveContext& context) {
  const std::string nfoTemplate = NfoGenerator(album, request, context)->Template;
  const bool sums =
      std::any_of(DocumentKinds.begin(), DocumentKinds.end(),
                  [&](const TDocumentKind& kind) {
                    return request.Wants(kind.Role) && kind.Digest == TTrackDigest::Crc32;
                  }) ||
      ShowsChecksums(nfoTemplate);
  for (const TTrackEntry& track : album.Tracks)
    if (sums && track.Info && track.Info->Checksum != NoChecksum &&
        FileStampOf(track.Path) != track.Info->ChecksumStamp)
      return track.Path;
  for (const TExtraFile& extra : album.Extras)
    if (!extra.Checksum.empty() && FileStampOf(extra.Path) != extra.ChecksumStamp)
      return extra.Path;
  const bool figures = request.Wants(TDocumentRole::DrLog) || TemplateShowsAnalysis(nfoTemplate);
  if (figures && album.Analysis)
    for (const TTrackAnalysis& track : album.Analysis->Tracks)
      if (FileStampOf(track.Path) != track.Stamp)
        return track.Path;
  return std::nullopt;
}

// The checksums a save takes from its measurement: a DR log's is made before the checksum
// lists, so that the tracks are decoded and checksummed in one reading.
void TakeChecksumsOfTheMeasurement(TAlbumInfo& album, const TSaveRequest& request) {
  // Measured once in a save: a track that changes after is refused at the commit, never
  // measured again for some documents and not for others.
  if (request.Wants(TDocumentRole::DrLog) && !album.Analysis)
    MeasureAlbum(album, request.Measuring(), true); // cancelled: the DR log says so
  TakeMeasuredChecksums(album);
}

// The digest a kind needs, computed for the tracks that lack it: placeholders make no
// checksum list.
std::optional<TProblem> ComputeDigest(TAlbumInfo& album, const TSaveRequest& request,
                                      TTrackDigest digest) {
  if (digest == TTrackDigest::None)
    return std::nullopt;
  TakeChecksumsOfTheMeasurement(album, request);
  if (const auto unread = ComputeMissingChecksums(album, request.ChecksumProgress))
    return TProblem{"The checksum of this track could not be read; nothing was saved", *unread};
  return std::nullopt;
}

// One document: the digest its kind needs, then its Make.
TMade MakeDocument(const TMakeJob& job, TDocumentRole role) {
  const TDocumentKind& kind = KindOf(role);
  TMade made;
  if (auto problem = ComputeDigest(job.Album, job.Request, kind.Digest)) {
    made.Result.Problem = std::move(problem);
    return made;
  }
  return kind.Make(job);
}

// The documents made and staged in the set in the kinds' order, each kind given the
// ones made before it.
TSaveResult StageDocuments(TAlbumInfo& album, const TSaveRequest& request, TSaveContext& context,
                           const std::vector<TDocument>& documents,
                           const std::vector<TInputFile>& inputs, TFileSet& set, TWriteMode mode) {
  std::vector<std::string> bytes; // each made document's, while the later ones read them
  bytes.reserve(documents.size());
  std::vector<TMadeFile> made;
  TSaveResult staged;
  for (const TDocument& document : documents) {
    TMade result = MakeDocument({album, request, &context, document.Path, made, inputs, &set, mode},
                                document.Role);
    if (!result.Result.Saved())
      return result.Result;
    bytes.push_back(std::move(result.Bytes));
    made.push_back({document.Path, bytes.back()});
    for (std::string& path : result.Result.Written)
      staged.Written.push_back(std::move(path));
  }
  return staged;
}
} // namespace

std::string TSaveRequest::PathOf(TDocumentRole role) const {
  const std::string& own = Paths[static_cast<std::size_t>(role)];
  if (!own.empty())
    return own;
  return role == TDocumentRole::Nfo ? NfoPath : CompanionPath(NfoPath, KindOf(role).Extension);
}

std::vector<TInputFile> TrackInputs(const TAlbumInfo& album) {
  std::vector<TInputFile> inputs;
  for (const TTrackEntry& track : album.Tracks)
    inputs.push_back({TInputRole::Track, track.Path});
  return inputs;
}

std::string GenerateNfoText(const TAlbumInfo& album, const TSaveRequest& request,
                            TSaveContext& context) {
  auto nfo = NfoGenerator(album, request, context);
  nfo->Generate();
  return nfo->Output;
}

std::string DraftNfoText(const TAlbumInfo& album, const TSaveRequest& request,
                         TSaveContext& context) {
  auto nfo = NfoGenerator(album, request, context);
  if (nfo->Template.empty() && request.TemplatePath.empty())
    nfo->Template = JoinTextLines(DefaultNfoTemplateOfFile(NfoTemplatePath(
        album, UsesVariousArtistsTemplate(album, request), context.ProgramFolder())));
  nfo->Generate();
  return nfo->Output;
}

std::string UnmappableCharacters(const TAlbumInfo& album, const TSaveRequest& request,
                                 TSaveContext& context) {
  if (request.Encoding == TNfoEncoding::Utf8)
    return {};
  return EncodeText(DraftNfoText(album, request, context), request.Encoding).Unmappable;
}

void PrepareTemplates(const TAlbumInfo& album, const TSaveRequest& request, TSaveContext& context) {
  for (const TDocumentKind& kind : DocumentKinds)
    if (request.Wants(kind.Role) && kind.PrepareTemplate)
      kind.PrepareTemplate(album, request, context);
}

std::optional<std::string>
ComputeChecksumsTheNfoUses(TAlbumInfo& album, const TSaveRequest& request, TSaveContext& context) {
  if (!ShowsChecksums(NfoGenerator(album, request, context)->Template))
    return std::nullopt;
  TakeChecksumsOfTheMeasurement(album, request);
  return ComputeMissingChecksums(album, request.ChecksumProgress);
}

bool MeasureWhatTheNfoShows(TAlbumInfo& album, const TSaveRequest& request, TSaveContext& context) {
  if (!TemplateShowsAnalysis(NfoGenerator(album, request, context)->Template))
    return true;
  return MeasureAlbum(album, request.Measuring());
}

std::vector<TDocument> PlannedDocuments(const TSaveRequest& request) {
  std::vector<TDocument> documents;
  for (const TDocumentKind& kind : DocumentKinds)
    if (request.Wants(kind.Role)) {
      const std::string path = request.PathOf(kind.Role);
      documents.push_back({kind.Role, path, kind.Exists(path)});
    }
  return documents;
}

const std::string& TSavePlan::UnmappableWith(std::optional<bool> variousArtists) const {
  return Unmappable[CompilationQuestion && variousArtists.value_or(false) ? 1 : 0];
}

TSavePlan PlanSave(const TAlbumInfo& album, TSaveRequest request, TSaveContext& context) {
  TSavePlan plan;
  for (const TDocumentKind& kind : DocumentKinds)
    if (request.Wants(kind.Role) && kind.AppliesTo && !kind.AppliesTo(album)) {
      request.Chosen[static_cast<std::size_t>(kind.Role)] = false;
      plan.NotWritten.push_back(
          {"no " + std::string(kind.Name) + " was written: " + std::string(kind.NotApplying),
           request.PathOf(kind.Role)});
    }
  plan.Documents = PlannedDocuments(request);
  plan.Problem = UnlistableTrack(album, request);
  if (!plan.Problem)
    plan.Problem = Collision(plan.Documents, AlbumInputs(album, request));
  const bool withNfo = request.Wants(TDocumentRole::Nfo);
  plan.CompilationQuestion = withNfo && album.VariousArtists &&
                             !request.UseVariousArtistsTemplate && request.TemplatePath.empty();
  if (withNfo) {
    plan.Unmappable[0] = UnmappableCharacters(album, request, context);
    plan.Unmappable[1] = plan.Unmappable[0];
    if (plan.CompilationQuestion) {
      TSaveRequest various = request;
      various.UseVariousArtistsTemplate = true;
      plan.Unmappable[1] = UnmappableCharacters(album, various, context);
    }
  }
  plan.Request = std::move(request);
  return plan;
}

TSaveRequest AnsweredRequest(const TSavePlan& plan, const TSaveAnswers& answers) {
  TSaveRequest request = plan.Request;
  if (answers.UseVariousArtistsTemplate)
    request.UseVariousArtistsTemplate = answers.UseVariousArtistsTemplate;
  for (const TDocument& document : plan.Documents)
    if (std::find(answers.Keep.begin(), answers.Keep.end(), document.Path) != answers.Keep.end())
      request.Chosen[static_cast<std::size_t>(document.Role)] = false;
  return request;
}

TProblem TrackOutsideFolder(const TDocumentKind& kind, const std::string& track) {
  return {"The " + std::string(kind.Name) +
              " file can only name tracks in its folder or below it, and this track is "
              "elsewhere; nothing was saved",
          track};
}

std::optional<TProblem> UnlistableTrack(const TAlbumInfo& album, const TSaveRequest& request) {
  for (const TTrackEntry& track : album.Tracks) {
    const std::string name = FileNamePart(track.Path);
    const bool control = std::any_of(name.begin(), name.end(), IsControlCharacter);
    if (control)
      return TProblem{"The name of this track holds a line break or another control character, "
                      "which the album's lists cannot hold; nothing was saved",
                      track.Path};
    for (const TDocumentKind& kind : DocumentKinds) {
      if (!request.Wants(kind.Role))
        continue;
      const std::string_view comment = kind.CommentStart;
      if (!comment.empty() && name.starts_with(comment))
        return TProblem{"The name of this track starts with \"" + std::string(comment) +
                            "\", which makes its line of the " + std::string(kind.Name) +
                            " file a comment; nothing was saved",
                        track.Path};
      if (kind.ListsTracks && !NameInFolderOf(request.PathOf(kind.Role), track.Path))
        return TrackOutsideFolder(kind, track.Path);
    }
  }
  return std::nullopt;
}

TSaveResult SaveAlbumDocuments(TAlbumInfo& album, const TSaveRequest& request, bool replaceExisting,
                               TSaveContext& context) {
  if (auto problem = UnlistableTrack(album, request))
    return SaveFailure(problem->Message, problem->Path);
  ForgetOutgrown(album);
  const std::vector<TDocument> documents = PlannedDocuments(request);
  const std::vector<TInputFile> inputs = AlbumInputs(album, request);
  if (auto collision = Collision(documents, inputs)) // before any checksum is read
    return SaveFailure(collision->Message, collision->Path);
  TFileSet set;
  const TWriteMode mode = replaceExisting ? TWriteMode::Replace : TWriteMode::CreateOnly;
  TSaveResult result = StageDocuments(album, request, context, documents, inputs, set, mode);
  if (!result.Saved())
    return result;
  std::optional<std::string> changed;
  set.StillTrue = [&] {
    changed = ChangedSinceItsChecksum(album, request, context);
    return !changed;
  };
  std::string failed;
  const TWriteResult committed = set.Commit(&failed);
  if (changed)
    return SaveFailure("This file changed after its checksum was taken or it was measured, so "
                       "the set would not agree with it; nothing was saved",
                       *changed);
  if (committed != TWriteResult::Written)
    return WriteFailure(committed, failed);
  return result;
}

TMade MakeDocumentBytes(TAlbumInfo& album, const TSaveRequest& request, TDocumentRole role,
                        TSaveContext& context) {
  return MakeDocument(
      {album, request, &context, request.PathOf(role), {}, {}, nullptr, TWriteMode::Replace}, role);
}

TSaveResult SavePostedDocuments(const TNzbRelease& posted, const std::string& nzbPath) {
  TAlbumInfo none; // a post's documents come from what the server took, not the album
  TSaveRequest request;
  request.NfoPath = CompanionPath(nzbPath, KindOf(TDocumentRole::Nfo).Extension);
  request.Paths[static_cast<std::size_t>(TDocumentRole::Nzb)] = nzbPath;
  request.Posted = &posted;
  TFileSet set;
  TSaveResult saved;
  for (const TDocumentKind& kind : DocumentKinds) {
    if (kind.MadeBy != TDocumentKind::Post)
      continue;
    const std::string path = request.PathOf(kind.Role);
    TMade made = kind.Make({none, request, nullptr, path, {}, {}, &set, TWriteMode::Replace});
    if (!made.Result.Saved())
      return made.Result;
    for (std::string& written : made.Result.Written)
      saved.Written.push_back(std::move(written));
  }
  std::string failed;
  if (const TWriteResult committed = set.Commit(&failed); committed != TWriteResult::Written)
    return WriteFailure(committed, failed);
  return saved;
}

std::vector<TStaleDocument> StaleDocuments(const TSaveRequest& request) {
  std::vector<TStaleDocument> stale;
  const std::vector<TDocument> written = PlannedDocuments(request);
  for (const TDocumentKind& kind : DocumentKinds) {
    const std::string path = request.PathOf(kind.Role);
    if (!kind.NamesListed || request.Wants(kind.Role) || !kind.Exists(path))
      continue;
    const std::vector<std::string> names = kind.NamesListed(path);
    for (const TDocument& document : written) {
      const auto name = NameInFolderOf(path, document.Path);
      if (name && std::find(names.begin(), names.end(), *name) != names.end())
        stale.push_back({path, document.Path});
    }
  }
  return stale;
}

std::string StaleNote(const std::vector<TStaleDocument>& stale) {
  std::string note;
  for (const TStaleDocument& document : stale)
    note += (note.empty() ? "" : "\n") + FileNamePart(document.Path) + " lists " +
            FileNamePart(document.Lists) +
            ", which this save changes, and will no longer match it.";
  return note;
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
