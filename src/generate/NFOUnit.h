// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ".nfo" generator: the single-artist or the various-artists template.
#include "generate/GenerateUnit.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* SingleArtistTemplateFileName = "template.txt";
inline constexpr const char* VariousArtistsTemplateFileName = "template-va.txt";
// Albums of other kinds (FLAC, Ogg Vorbis, Opus, M4A) have their own pair, whose default
// tells bits per sample and an average bit rate instead of MP3's stereo mode and ID3 tag.
inline constexpr const char* LosslessTemplateFileName = "template-lossless.txt";
inline constexpr const char* LosslessVariousArtistsTemplateFileName = "template-lossless-va.txt";

// The four template files and the default each one gets.
struct TNfoTemplateFile {
  std::string_view Name;
  bool VariousArtists;
  bool Lossless;
};
inline constexpr std::array<TNfoTemplateFile, 4> NfoTemplateFiles = {{
    {SingleArtistTemplateFileName, false, false},
    {VariousArtistsTemplateFileName, true, false},
    {LosslessTemplateFileName, false, true},
    {LosslessVariousArtistsTemplateFileName, true, true},
}};

// The question a face asks before a compilation's document is made.
inline constexpr const char* VariousArtistsQuestion =
    "This seems to be a compilation album with various artists.\n\r"
    "Do you want to use the Various Artists Template?";

std::vector<std::string> DefaultNfoTemplate(bool variousArtists, bool lossless = false);
// The built-in default of a template file, told by its name.
std::vector<std::string> DefaultNfoTemplateOfFile(const std::string& path);

// The template file a document of the album uses: the various-artists one for a
// compilation whose user wants it, else the single-artist one; of the lossless pair when
// most of the album's tracks are not MP3 files.
std::string NfoTemplatePath(const TAlbumInfo& album, bool useVariousArtistsTemplate);

class TNFO : public TGenerate {
public:
  TNFO() = default;
  // Loads the chosen template as it stands (a missing one is empty).
  TNFO(const TAlbumInfo& album, bool useVariousArtistsTemplate);

  // Writes the template file's default; a failure shows its own error.
  static void WriteDefaultTemplate(const std::string& path);
};

// The save's template step: when the chosen template is missing or empty, its built-in
// default is written there (a failure shows its own error), so that after the first use
// every template exists for the user to edit. Each file gets its own default, whatever
// the album: a single-artist template written into the compilation file would cost
// every later compilation its artists.
void PrepareNfoTemplate(const TAlbumInfo& album, bool useVariousArtistsTemplate);

// Opens an NFO template in the user's editor, creating it when missing.
void EditTemplate(const std::string& fileName);
