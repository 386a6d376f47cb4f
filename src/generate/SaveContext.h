// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a plan or a save reads from outside the album, read once and handed down: the
// program folder, today's texts in the user's regional forms, the posting policy, and each
// template at its first use. The documents of one save agree on the date and the policy,
// and a template is read once however many steps use it.
#include "common/Problem.h"
#include "generate/ExpandUnit.h"

#include <map>
#include <string>
#include <vector>

class TSaveContext {
public:
  // The host's clock and regional forms and the folder's posting policy, read now.
  explicit TSaveContext(std::string programFolder);

  const std::string& ProgramFolder() const { return Folder; }
  // The context's folder, or the host's without one.
  static std::string ProgramFolderOf(const TSaveContext* context);
  // The texts a document is expanded with, in a code page or not; a list names its
  // tracks from documentPath's folder.
  TGenerateContext Texts(bool codePage, const std::string& documentPath = {}) const;
  // A template file's bytes, read at its first use: "" for a missing or unreadable one.
  const std::string& Template(const std::string& path);
  // The bytes a template file now has, written by the save's template step.
  void Keep(const std::string& path, std::string bytes);

  // What went wrong on the way without stopping the work (a default template that could
  // not be written): the face shows each.
  std::vector<TProblem> Problems;
  // What the save wrote that a poster should know of, nothing having failed (recovery files
  // too small to rebuild the largest file).
  std::vector<TProblem> Notes;

private:
  std::string Folder;
  TGenerateContext Today;
  std::map<std::string, std::string> Templates;
};
