#include "generate/SaveDocumentsUnit.h"

#include "common/Host.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/NFOUnit.h"
#include "generate/SFVUnit.h"

#include <filesystem>
#include <memory>

namespace {
std::unique_ptr<TGenerate> NfoGenerator(const TAlbumInfo& album, const TSaveRequest& request) {
  if (!request.TemplatePath.empty())
    return std::make_unique<TGenerate>(album, request.TemplatePath);
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

bool MayReplaceSfv(const std::string& nfoPath) {
  const std::string sfvPath = SfvPathFor(nfoPath);
  if (!std::filesystem::exists(sfvPath))
    return true;
  return CurrentHost().ShowMessage(TMessageKind::Confirmation,
                                   FileNamePart(sfvPath) +
                                       " already exists.\nDo you want to replace it?") ==
         TMessageResult::Yes;
}

void ReportSfvKept(const std::string& nfoPath) {
  CurrentHost().ShowMessage(TMessageKind::Information, "The .NFO file was saved; the existing " +
                                                           FileNamePart(SfvPathFor(nfoPath)) +
                                                           " was kept.");
}

bool SaveAlbumDocuments(TAlbumInfo& album, const TSaveRequest& request, std::string* failedPath) {
  const auto failed = [failedPath](const std::string& path) {
    if (failedPath)
      *failedPath = path;
    return false;
  };
  auto nfo = NfoGenerator(album, request);
  nfo->Generate();
  if (!nfo->SaveToFile(request.NfoPath))
    return failed(request.NfoPath);
  if (!request.WithSfv)
    return true;
  // Tracks chosen without checksums get them now: placeholders make no checksum file.
  ComputeMissingChecksums(album, request.ChecksumProgress);
  TSFV sfv(album);
  sfv.Generate();
  const std::string sfvPath = SfvPathFor(request.NfoPath);
  return sfv.SaveToFile(sfvPath) || failed(sfvPath);
}
