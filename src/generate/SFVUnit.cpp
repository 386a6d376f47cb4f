// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/SFVUnit.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/ShellOpenUnit.h"
#include "common/TextListUnit.h"

std::vector<std::string> DefaultSfvTemplate() {
  return {
      "@FOR_EACH_TRACK",
      "$TRACK_FILENAME $TRACK_CHECKSUM",
      "@END_TRACK",
      ";" + std::string(70, '='),
      ";.SFV file created with $NFO_NAME V$NFO_VERSION on $NFO_DATE at $NFO_TIME",
      ";For more information on $NFO_NAME",
      ";visit $NFO_URL",
  };
}

void TSFV::WriteDefaultTemplate(const std::string& path) {
  if (!WriteTextList(path, DefaultSfvTemplate()))
    ShowError(ecCreateSfvTemplate, path);
}

TSFV::TSFV(const TAlbumInfo& album, const std::string& path)
    : TGenerate(album, GetProgramFolder() + SfvTemplateFileName) {
  DocumentPath = path;
}

void PrepareSfvTemplate() {
  const std::string path = GetProgramFolder() + SfvTemplateFileName;
  if (TGenerate(TAlbumInfo(), path).Template.empty())
    TSFV::WriteDefaultTemplate(path);
}

void EditSfvTemplate() {
  OpenProgramFile(SfvTemplateFileName,
                  [](const std::string& path) { TSFV::WriteDefaultTemplate(path); });
}
