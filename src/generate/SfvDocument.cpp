// SPDX-License-Identifier: GPL-3.0-or-later
// The ".sfv": each track's (and each extra file's) CRC32, from its own template.
#include "generate/DocumentKinds.h"

#include "generate/AlbumExtras.h"
#include "generate/SFVUnit.h"
#include "generate/SaveContext.h"
#include "generate/SaveDocumentsUnit.h"
#include "generate/SfvCheckUnit.h"

namespace {
std::vector<std::string> NamesInSfv(const std::string& path) {
  std::vector<std::string> names;
  ForEachSfvLine(path, [&](std::size_t, const TSfvLine& line) {
    if (line.Kind == TSfvLineKind::Entry)
      names.push_back(line.Entry.Name);
  });
  return names;
}

void PrepareSfvTemplate(const TAlbumInfo&, const TSaveRequest&, TSaveContext& context) {
  if (auto problem = ::PrepareSfvTemplate(&context))
    context.Problems.push_back(std::move(*problem));
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
  return StagedDocument(job, sfv.Output + "\r\n");
}
} // namespace

const TDocumentKind document::SfvKind{.Role = TDocumentRole::Sfv,
                                      .Name = ".sfv",
                                      .Extension = ".sfv",
                                      .PreferenceKey = "MakeSFV",
                                      .MenuName = "GenerateSFVfile1",
                                      .MenuText = "Generate .SFV files also",
                                      .Option = "--sfv",
                                      .OptionHelp =
                                          "also write the .sfv checksum list beside the .nfo",
                                      .CommentStart = ";",
                                      .Digest = TTrackDigest::Crc32,
                                      .ListsTracks = true,
                                      .Exists = ::FileExists,
                                      .NamesListed = NamesInSfv,
                                      .PrepareTemplate = PrepareSfvTemplate,
                                      .Make = MakeSfv};
