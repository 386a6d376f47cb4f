// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The template engine shared by the NFO and SFV generators.
#include "generate/AlbumUnit.h"
#include "generate/ExpandUnit.h"
#include "generate/SaveContext.h"

#include <string>
#include <vector>

class TGenerate {
public:
  // A generator without album or template, only to reach the default writers.
  TGenerate() = default;
  // The template from the file, or from the save's context (which reads each file once and
  // gives every document of the save the same date and posting policy).
  TGenerate(const TAlbumInfo& album, const std::string& templatePath,
            TSaveContext* context = nullptr);
  virtual ~TGenerate() = default;

  // Replaces the template with the file's bytes; a missing or unreadable file gives "".
  void LoadTemplate(const std::string& path);
  // Expands the template with today's date and time and the current posting policy (the
  // context's, when it was made with one).
  void Generate();
  // Writes the output and one CR LF, whole or not at all; false when that failed.
  bool SaveToFile(const std::string& path) const;

  std::string Template;
  std::string Output;
  const TAlbumInfo* Album = nullptr;
  // The output is written in an 8-bit code page (see TGenerateContext::CodePage).
  bool CodePage = false;
  // The document's own path, for a list that names tracks (see TGenerateContext).
  std::string DocumentPath;
  const TSaveContext* Context = nullptr;
};

// Today's texts, the program's texts and the regional separators, from the host.
TGenerateContext CurrentGenerateContext(std::vector<std::string> postingPolicy);
