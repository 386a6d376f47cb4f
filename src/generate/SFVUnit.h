// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ".sfv" generator: one line of file name and checksum per track.
#include "generate/GenerateUnit.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* SfvTemplateFileName = "template-sfv.txt";

std::vector<std::string> DefaultSfvTemplate();

class TSFV : public TGenerate {
public:
  TSFV() = default;
  // Loads the SFV template, writing its default first when it is missing or empty.
  explicit TSFV(const TAlbumInfo& album);

  // Writes the default template; a failure shows its own error.
  static void WriteDefaultTemplate(const std::string& path);
};

// The ".sfv" path beside a ".nfo" path: the extension of its file name replaced, or
// ".sfv" appended when the name has none.
std::string SfvPathFor(const std::string& nfoPath);
// The same base name with another extension (".m3u" for the playlist).
std::string CompanionPath(const std::string& nfoPath, std::string_view extension);
std::string M3uPathFor(const std::string& nfoPath);
