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

TSFV::TSFV(const TAlbumInfo& album) : TGenerate(album, GetProgramFolder() + SfvTemplateFileName) {}

void PrepareSfvTemplate() {
  const std::string path = GetProgramFolder() + SfvTemplateFileName;
  if (TGenerate(TAlbumInfo(), path).Template.empty())
    TSFV::WriteDefaultTemplate(path);
}

std::string CompanionPath(const std::string& nfoPath, std::string_view extension) {
  const std::size_t nameStart = nfoPath.rfind('/') + 1; // 0 when there is no folder
  const std::size_t dot = nfoPath.rfind('.');
  if (dot == std::string::npos || dot < nameStart)
    return nfoPath + std::string(extension);
  return nfoPath.substr(0, dot) + std::string(extension);
}

void EditSfvTemplate() {
  OpenProgramFile(SfvTemplateFileName,
                  [](const std::string& path) { TSFV::WriteDefaultTemplate(path); });
}
