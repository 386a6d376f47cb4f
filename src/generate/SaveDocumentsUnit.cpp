#include "generate/SaveDocumentsUnit.h"

#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "common/Host.h"
#include "common/TextListUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/NFOUnit.h"
#include "generate/PlaylistUnit.h"
#include "generate/SFVUnit.h"

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
  nfo->Generate();
  return nfo->Output;
}

std::string UnmappableCharacters(const TAlbumInfo& album, const TSaveRequest& request) {
  if (request.Encoding == TNfoEncoding::Utf8)
    return {};
  return EncodeText(GenerateNfoText(album, request), request.Encoding).Unmappable;
}

bool MayReplaceCompanion(const std::string& path) {
  if (!std::filesystem::exists(path))
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

bool SaveAlbumDocuments(TAlbumInfo& album, const TSaveRequest& request, std::string* failedPath) {
  const auto failed = [failedPath](const std::string& path) {
    if (failedPath)
      *failedPath = path;
    return false;
  };
  auto nfo = NfoGenerator(album, request);
  nfo->Generate();
  nfo->Output = EncodeText(nfo->Output, request.Encoding).Bytes;
  if (!nfo->SaveToFile(request.NfoPath))
    return failed(request.NfoPath);
  if (request.WithSfv) {
    // Tracks chosen without checksums get them now: placeholders make no checksum file.
    ComputeMissingChecksums(album, request.ChecksumProgress);
    TSFV sfv(album);
    sfv.Generate();
    const std::string sfvPath = SfvPathFor(request.NfoPath);
    if (!sfv.SaveToFile(sfvPath))
      return failed(sfvPath);
  }
  const std::string m3uPath = M3uPathFor(request.NfoPath);
  if (request.WithM3u && !WriteFileAtomically(m3uPath, M3uText(album, FolderPart(m3uPath))))
    return failed(m3uPath);
  return true;
}
