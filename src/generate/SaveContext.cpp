// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/SaveContext.h"

#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/TextListUnit.h"
#include "generate/GenerateUnit.h"
#include "generate/PostingPolicyUnit.h"

TSaveContext::TSaveContext(std::string programFolder)
    : Folder(std::move(programFolder)),
      Today(CurrentGenerateContext(
          ReadTextList(Folder + PostingPolicyFileName).value_or(std::vector<std::string>()))) {}

TGenerateContext TSaveContext::Texts(bool codePage, const std::string& documentPath) const {
  TGenerateContext texts = Today;
  texts.CodePage = codePage;
  texts.DocumentPath = documentPath;
  return texts;
}

const std::string& TSaveContext::Template(const std::string& path) {
  const auto known = Templates.find(path);
  if (known != Templates.end())
    return known->second;
  std::string bytes = FileExists(path) ? ReadFileBytes(path).value_or(std::string()) : "";
  return Templates.emplace(path, std::move(bytes)).first->second;
}

void TSaveContext::Keep(const std::string& path, std::string bytes) {
  Templates[path] = std::move(bytes);
}

std::string TSaveContext::ProgramFolderOf(const TSaveContext* context) {
  return context ? context->Folder : GetProgramFolder();
}
