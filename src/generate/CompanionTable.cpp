// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/CompanionTable.h"

#include "generate/AlbumFieldsUnit.h"
#include "generate/PlaylistUnit.h"
#include "generate/SFVUnit.h"

const std::array<TCompanion, CompanionCount> Companions = {{
    {".sfv", ".sfv", "MakeSFV", "GenerateSFVfile1", "Generate .SFV files also", "--sfv",
     "also write the .sfv checksum list beside the .nfo", ";", true, PrepareSfvTemplate,
     [](TAlbumInfo& album, const std::string&) {
       TSFV sfv(album);
       sfv.Generate();
       return sfv.Output + "\r\n";
     }},
    {".m3u", ".m3u", "MakeM3U", "GenerateM3Ufile1", "Generate .M3U playlist also", "--m3u",
     "also write the .m3u playlist beside it", "", false, nullptr,
     [](TAlbumInfo& album, const std::string& path) {
       return M3uText(album, FolderPart(path));
     }},
    {".par2", ".par2", "MakePAR2", "GeneratePAR2files1", "Generate .PAR2 recovery files also",
     "--par2", "also write PAR2 recovery files for the tracks and the documents", "", false,
     nullptr, nullptr, true},
}};

std::optional<std::size_t> CompanionNamed(std::string_view role) {
  for (std::size_t i = 0; i < Companions.size(); ++i)
    if (Companions[i].Role == role)
      return i;
  return std::nullopt;
}
