// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/GenerateUnit.h"

#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "common/Host.h"

TGenerate::TGenerate(const TAlbumInfo& album, const std::string& templatePath,
                     TSaveContext* context)
    : Album(&album), Context(context) {
  if (context)
    Template = context->Template(templatePath);
  else
    LoadTemplate(templatePath);
}

void TGenerate::LoadTemplate(const std::string& path) {
  Template.clear();
  if (!FileExists(path))
    return;
  Template = ReadFileBytes(path).value_or(std::string());
}

TGenerateContext CurrentGenerateContext(std::vector<std::string> postingPolicy) {
  THost& host = CurrentHost();
  const TDateTime now = host.Now();
  const TRegionalSettings settings = host.RegionalSettings();
  TGenerateContext context;
  context.DateText = host.ShortDateText(now);
  context.TimeText = host.ShortTimeText(now);
  context.ProductName = GetProductName();
  context.VersionText = GetFileVersion();
  context.ProductURL = GetProductURL();
  context.PostingPolicy = std::move(postingPolicy);
  context.DecimalSeparator = settings.DecimalSeparator;
  context.ThousandSeparator = settings.ThousandSeparator;
  return context;
}

void TGenerate::Generate() {
  static const TAlbumInfo NoAlbum;
  // Without a save's context, today's: the clock and the policy read now.
  const TGenerateContext texts =
      Context ? Context->Texts(CodePage, DocumentPath)
              : TSaveContext(GetProgramFolder()).Texts(CodePage, DocumentPath);
  Output = ExpandTemplate(Template, Album ? *Album : NoAlbum, texts);
}

bool TGenerate::SaveToFile(const std::string& path) const {
  return WriteFileAtomically(path, Output + "\r\n");
}
