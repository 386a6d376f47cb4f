// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/SaveDocumentsUnit.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "common/Host.h"
#include "common/TextListUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/NFOUnit.h"
#include "generate/PlaylistUnit.h"
#include "generate/SFVUnit.h"
#include "generate/TokenUnit.h"

#include <algorithm>
#include <filesystem>
#include <memory>

namespace {
std::unique_ptr<TGenerate> NfoGenerator(const TAlbumInfo& album, const TSaveRequest& request) {
  if (!request.TemplatePath.empty())
    return std::make_unique<TGenerate>(album, request.TemplatePath);
  if (request.Quietly) {
    const bool various = album.VariousArtists && request.UseVariousArtistsTemplate.value_or(false);
    auto generator = std::make_unique<TGenerate>(
        album, GetProgramFolder() +
                   (various ? VariousArtistsTemplateFileName : SingleArtistTemplateFileName));
    if (generator->Template.empty())
      generator->Template = JoinTextLines(DefaultNfoTemplate(various));
    return generator;
  }
  if (request.UseVariousArtistsTemplate)
    return std::make_unique<TNFO>(album, *request.UseVariousArtistsTemplate);
  return std::make_unique<TNFO>(album);
}
} // namespace

std::string GenerateNfoText(const TAlbumInfo& album, const TSaveRequest& request) {
  auto nfo = NfoGenerator(album, request);
  nfo->CodePage = request.Encoding != TNfoEncoding::Utf8;
  nfo->Generate();
  return nfo->Output;
}

std::optional<std::string> ComputeChecksumsTheNfoUses(TAlbumInfo& album,
                                                      const TSaveRequest& request) {
  if (NfoGenerator(album, request)->Template.find(token::TrackChecksum) == std::string::npos)
    return std::nullopt;
  return ComputeMissingChecksums(album, request.ChecksumProgress);
}

std::string UnmappableCharacters(const TAlbumInfo& album, const TSaveRequest& request) {
  if (request.Encoding == TNfoEncoding::Utf8)
    return {};
  return EncodeText(GenerateNfoText(album, request), request.Encoding).Unmappable;
}

bool MayReplaceCompanion(const std::string& path) {
  if (!FileExists(path)) // a device or pipe is written into, not replaced
    return true;
  return CurrentHost().ShowMessage(TMessageKind::Confirmation,
                                   FileNamePart(path) +
                                       " already exists.\nDo you want to replace it?") ==
         TMessageResult::Yes;
}

void ReportCompanionsKept(const std::vector<std::string>& paths) {
  if (paths.empty())
    return;
  std::string names = FileNamePart(paths.front());
  for (std::size_t i = 1; i < paths.size(); ++i)
    names += " and " + FileNamePart(paths[i]);
  CurrentHost().ShowMessage(TMessageKind::Information,
                            "The .NFO file was saved; the existing " + names +
                                (paths.size() == 1 ? " was" : " were") + " kept.");
}

std::vector<TDocument> PlannedDocuments(const TSaveRequest& request) {
  std::vector<TDocument> documents;
  if (request.WithNfo)
    documents.push_back({".nfo", request.NfoPath, {}});
  if (request.WithSfv)
    documents.push_back({".sfv", SfvPathFor(request.NfoPath), {}});
  if (request.WithM3u)
    documents.push_back({".m3u", M3uPathFor(request.NfoPath), {}});
  return documents;
}

namespace {
TSaveResult Problem(std::string message, std::string path) {
  TSaveResult result;
  result.Message = std::move(message);
  result.Path = std::move(path);
  return result;
}

std::string BothPaths(const std::string& first, const std::string& second) {
  return first == second ? first : first + "\n" + second;
}
} // namespace

std::optional<TSaveResult> UnlistableTrackName(const TAlbumInfo& album, bool inSfv) {
  for (const TTrackEntry& track : album.Tracks) {
    const std::string name = FileNamePart(track.Path);
    const bool control = std::any_of(name.begin(), name.end(), [](char c) {
      return static_cast<unsigned char>(c) < 32 || c == '\x7F';
    });
    if (control)
      return Problem("The name of this track holds a line break or another control character, "
                     "which the album's lists cannot hold; nothing was saved",
                     track.Path);
    if (inSfv && name.starts_with(';'))
      return Problem("The name of this track starts with \";\", which makes its line of the "
                     ".sfv file a comment; nothing was saved",
                     track.Path);
  }
  return std::nullopt;
}

namespace {
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

std::vector<TInputFile> AlbumInputs(const TAlbumInfo& album, const TSaveRequest& request) {
  std::vector<TInputFile> inputs;
  for (const TTrackEntry& track : album.Tracks)
    inputs.push_back({"track", track.Path});
  if (!request.TemplatePath.empty())
    inputs.push_back({"template", request.TemplatePath});
  return inputs;
}
} // namespace

TSaveResult WriteDocuments(const std::vector<TDocument>& documents,
                           const std::vector<TInputFile>& inputs, bool replaceExisting) {
  if (auto collision = Collision(documents, inputs))
    return *collision;
  TFileSet set;
  const TWriteMode mode = replaceExisting ? TWriteMode::Replace : TWriteMode::CreateOnly;
  TWriteResult written = TWriteResult::Written;
  std::string failed;
  for (const TDocument& document : documents)
    if ((written = set.Add(document.Path, document.Bytes, mode)) != TWriteResult::Written) {
      failed = document.Path;
      break;
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
    result.Written.push_back(document.Path);
  return result;
}

TSaveResult SaveAlbumDocuments(TAlbumInfo& album, const TSaveRequest& request) {
  if (auto problem = UnlistableTrackName(album, request.WithSfv))
    return *problem;
  std::vector<TDocument> documents = PlannedDocuments(request);
  const std::vector<TInputFile> inputs = AlbumInputs(album, request);
  if (auto collision = Collision(documents, inputs)) // before any checksum is read
    return *collision;
  for (TDocument& document : documents) {
    if (document.Role == ".nfo") {
      if (const auto unread = ComputeChecksumsTheNfoUses(album, request))
        return Problem("The checksum of this track could not be read; nothing was saved", *unread);
      document.Bytes = EncodeText(GenerateNfoText(album, request), request.Encoding).Bytes + "\r\n";
    } else if (document.Role == ".sfv") {
      // Tracks chosen without checksums get them now: placeholders make no checksum file.
      if (const auto unread = ComputeMissingChecksums(album, request.ChecksumProgress))
        return Problem("The checksum of this track could not be read; nothing was saved", *unread);
      TSFV sfv(album);
      sfv.Generate();
      document.Bytes = sfv.Output + "\r\n";
    } else {
      document.Bytes = M3uText(album, FolderPart(document.Path));
    }
  }
  return WriteDocuments(documents, inputs, request.ReplaceExisting);
}
