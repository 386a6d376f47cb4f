// SPDX-License-Identifier: GPL-3.0-or-later
// The ".m3u" playlist of the tracks, named relative to its folder.
#include "generate/DocumentKinds.h"

#include "generate/PlaylistUnit.h"

namespace {
TMade MakeM3u(const TMakeJob& job) {
  return StagedDocument(job, M3uText(job.Album, job.Path));
}
} // namespace

const TDocumentKind document::M3uKind{.Role = TDocumentRole::M3u,
                                      .Name = ".m3u",
                                      .Extension = ".m3u",
                                      .PreferenceKey = "MakeM3U",
                                      .MenuName = "GenerateM3Ufile1",
                                      .MenuText = "Generate .M3U playlist also",
                                      .Option = "--m3u",
                                      .OptionHelp = "also write the .m3u playlist beside it",
                                      .ListsTracks = true,
                                      .Exists = ::FileExists,
                                      .Make = MakeM3u};
