// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/SFVUnit.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/ShellOpenUnit.h"
#include "common/TextListUnit.h"

std::vector<std::string> DefaultSfvTemplate(bool withAddress) {
  std::vector<std::string> lines = {
      "@FOR_EACH_TRACK",
      "$TRACK_FILENAME $TRACK_CHECKSUM",
      "@END_TRACK",
      ";" + std::string(70, '='),
      ";.SFV file created with $NFO_NAME V$NFO_VERSION on $NFO_DATE at $NFO_TIME",
  };
  if (withAddress)
    lines.insert(lines.end(), {";For more information on $NFO_NAME", ";visit $NFO_URL"});
  return lines;
}

std::optional<TProblem> TSFV::WriteDefaultTemplate(const std::string& path) {
  if (WriteTextList(path, DefaultSfvTemplate()))
    return std::nullopt;
  return TProblem{std::string(ErrorMessage(ecCreateSfvTemplate)), path};
}

TSFV::TSFV(const TAlbumInfo& album, const std::string& path, TSaveContext* context)
    : TGenerate(album, TSaveContext::ProgramFolderOf(context) + SfvTemplateFileName, context) {
  DocumentPath = path;
}

std::string SfvTemplateWithExtras(std::string templateText) {
  if (templateText.find("@FOR_EACH_EXTRA") != std::string::npos)
    return templateText;
  const std::string newline = templateText.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  // Straight after the tracks' block, so that the other files' lines follow the tracks'.
  const std::string block =
      "@FOR_EACH_EXTRA" + newline + "$EXTRA_FILENAME $EXTRA_CHECKSUM" + newline + "@END_EXTRA";
  const std::size_t end = templateText.find("@END_TRACK");
  if (end == std::string::npos)
    return templateText + (templateText.empty() ? "" : newline) + block;
  return templateText.insert(end + std::string_view("@END_TRACK").size(), block);
}

std::optional<TProblem> PrepareSfvTemplate(TSaveContext* context) {
  const std::string path = TSaveContext::ProgramFolderOf(context) + SfvTemplateFileName;
  if (!TGenerate(TAlbumInfo(), path, context).Template.empty())
    return std::nullopt;
  auto problem = TSFV::WriteDefaultTemplate(path);
  if (context && !problem)
    context->Keep(path, JoinTextLines(DefaultSfvTemplate()));
  return problem;
}

std::optional<TProblem> EditSfvTemplate() {
  return OpenProgramFile(SfvTemplateFileName, TSFV::WriteDefaultTemplate);
}
