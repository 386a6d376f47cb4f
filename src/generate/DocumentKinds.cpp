// SPDX-License-Identifier: GPL-3.0-or-later
// What the document kinds share: where each goes beside the .nfo, and how a one-file
// document is staged.
#include "generate/DocumentKinds.h"

#include "common/ErrorsUnit.h"

TSaveResult SaveFailure(std::string message, std::string path) {
  TSaveResult result;
  result.Problem = TProblem{std::move(message), std::move(path)};
  return result;
}

std::string_view InputRoleName(TInputRole role) {
  return role == TInputRole::Track ? "track" : role == TInputRole::Extra ? "file" : "template";
}

TSaveResult WriteFailure(TWriteResult write, const std::string& path) {
  if (write != TWriteResult::Exists)
    return SaveFailure(std::string(ErrorMessage(ecOpenForWriting)), path);
  TSaveResult result =
      SaveFailure("This file appeared while the album was being saved; it was kept, and nothing "
                  "was saved",
                  path);
  result.Exists = true;
  return result;
}

TMade StagedDocument(const TMakeJob& job, std::string bytes) {
  TMade made;
  made.Bytes = std::move(bytes);
  if (!job.Set)
    return made;
  const TWriteResult written = job.Set->Add(job.Path, made.Bytes, job.Mode);
  if (written != TWriteResult::Written)
    made.Result = WriteFailure(written, job.Path);
  else
    made.Result.Written.push_back(job.Path);
  return made;
}

std::string CompanionPath(const std::string& nfoPath, std::string_view extension) {
  const std::size_t nameStart = nfoPath.rfind('/') + 1; // 0 when there is no folder
  const std::size_t dot = nfoPath.rfind('.');
  if (dot == std::string::npos || dot < nameStart)
    return nfoPath + std::string(extension);
  return nfoPath.substr(0, dot) + std::string(extension);
}
