// SPDX-License-Identifier: GPL-3.0-or-later
// The ".nfo", the album's information file: made from its template, with the checksums and
// the measurements the template asks for.
#include "generate/DocumentKinds.h"

#include "generate/EncodingUnit.h"
#include "generate/NFOUnit.h"
#include "generate/SaveContext.h"
#include "generate/SaveDocumentsUnit.h"

namespace {
void PrepareNfoTemplate(const TAlbumInfo& album, const TSaveRequest& request,
                        TSaveContext& context) {
  if (!request.TemplatePath.empty())
    return;
  const bool various = album.VariousArtists && request.UseVariousArtistsTemplate.value_or(false);
  if (auto problem = ::PrepareNfoTemplate(album, various, &context))
    context.Problems.push_back(std::move(*problem));
}

TMade MakeNfo(const TMakeJob& job) {
  // Measured first: the decoding takes the checksums in the same reading.
  if (!MeasureWhatTheNfoShows(job.Album, job.Request, *job.Context)) {
    TMade made;
    made.Result.Cancelled = true;
    return made;
  }
  if (const auto unread = ComputeChecksumsTheNfoUses(job.Album, job.Request, *job.Context)) {
    TMade made;
    made.Result =
        SaveFailure("The checksum of this track could not be read; nothing was saved", *unread);
    return made;
  }
  const std::string text = GenerateNfoText(job.Album, job.Request, *job.Context);
  return StagedDocument(job, EncodeText(text, job.Request.Encoding).Bytes + "\r\n");
}
} // namespace

const TDocumentKind document::NfoKind{.Role = TDocumentRole::Nfo,
                                      .Name = ".nfo",
                                      .Extension = ".nfo",
                                      .Exists = ::FileExists,
                                      .PrepareTemplate = PrepareNfoTemplate,
                                      .Make = MakeNfo};
