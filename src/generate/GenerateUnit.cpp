// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/GenerateUnit.h"

#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "common/Host.h"
#include "common/TextListUnit.h"
#include "generate/PostingPolicyUnit.h"

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
  if (Context) {
    Output =
        ExpandTemplate(Template, Album ? *Album : NoAlbum, Context->Texts(CodePage, DocumentPath));
    return;
  }
  PostingPolicy =
      ReadTextList(GetProgramFolder() + PostingPolicyFileName).value_or(std::vector<std::string>());
  TGenerateContext context = CurrentGenerateContext(PostingPolicy);
  context.CodePage = CodePage;
  context.DocumentPath = DocumentPath;
  Output = ExpandTemplate(Template, Album ? *Album : NoAlbum, context);
}

bool TGenerate::SaveToFile(const std::string& path) const {
  return WriteFileAtomically(path, Output + "\r\n");
}
