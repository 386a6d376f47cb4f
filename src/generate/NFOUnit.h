// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ".nfo" generator: the single-artist or the various-artists template.
#include "generate/GenerateUnit.h"

#include <string>
#include <vector>

inline constexpr const char* SingleArtistTemplateFileName = "template.txt";
inline constexpr const char* VariousArtistsTemplateFileName = "template-va.txt";

inline constexpr const char* VariousArtistsQuestion =
    "This seems to be a compilation album with various artists.\n\r"
    "Do you want to use the Various Artists Template?";

std::vector<std::string> DefaultNfoTemplate(bool variousArtists);

class TNFO : public TGenerate {
public:
  TNFO() = default;
  // Asks about the various-artists template for a compilation, loads the chosen template
  // and writes its default first when it is missing or empty.
  explicit TNFO(const TAlbumInfo& album);
  // For a compilation the answer is given instead of asked (the command-line tool).
  TNFO(const TAlbumInfo& album, bool useVariousArtistsTemplate);

  // Writes the default template; a failure shows its own error.
  static void WriteDefaultTemplate(const std::string& path, bool variousArtists);
};

// Opens an NFO template in the user's editor, creating it when missing.
void EditTemplate(const std::string& fileName);
