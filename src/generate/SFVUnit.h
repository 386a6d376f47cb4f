// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ".sfv" generator: one line of file name and checksum per track.
#include "common/AppVersionUnit.h"
#include "generate/GenerateUnit.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* SfvTemplateFileName = "template-sfv.txt";

// As the .nfo's, its credit points to the web page only when the build names one.
std::vector<std::string> DefaultSfvTemplate(bool withAddress = HasProductURL());

class TSFV : public TGenerate {
public:
  TSFV() = default;
  // Loads the SFV template as it stands (a missing one is empty), for the .sfv at path.
  TSFV(const TAlbumInfo& album, const std::string& path, TSaveContext* context = nullptr);

  // Writes the default template; the problem when that failed.
  static std::optional<TProblem> WriteDefaultTemplate(const std::string& path);
};

// The album's other files' block after the tracks' (or at the end), unless the template
// has one of its own: every file the album takes is listed, and an album without other
// files keeps its .sfv as it was.
std::string SfvTemplateWithExtras(std::string templateText);

// The save's template step for the .sfv: a missing or empty template gets its default.
std::optional<TProblem> PrepareSfvTemplate(TSaveContext* context = nullptr);

// Opens the SFV template in the user's editor, writing the default first when missing.
std::optional<TProblem> EditSfvTemplate();
