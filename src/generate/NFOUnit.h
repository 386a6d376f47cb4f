// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ".nfo" generator: the single-artist or the various-artists template.
#include "common/AppVersionUnit.h"
#include "generate/GenerateUnit.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* SingleArtistTemplateFileName = "template.txt";
inline constexpr const char* VariousArtistsTemplateFileName = "template-va.txt";
// Lossless albums (FLAC, ALAC) have their own pair, whose default tells bits per sample and
// an average bit rate instead of MP3's stereo mode and ID3 tag; other lossy albums (Ogg
// Vorbis, Opus, AAC) a pair of their own, whose default tells the average bit rate alone.
inline constexpr const char* LosslessTemplateFileName = "template-lossless.txt";
inline constexpr const char* LosslessVariousArtistsTemplateFileName = "template-lossless-va.txt";
inline constexpr const char* LossyTemplateFileName = "template-lossy.txt";
inline constexpr const char* LossyVariousArtistsTemplateFileName = "template-lossy-va.txt";

// What an album's audio is, for the choice of its templates.
enum class TAudioFamily { Mp3, Lossless, Lossy };

// The template files, the default each one gets, and the window's menu item of those that
// have no handler of their own.
struct TNfoTemplateFile {
  std::string_view Name;
  bool VariousArtists;
  TAudioFamily Family;
  std::string_view MenuName;
  std::string_view MenuText;
};
inline constexpr std::array<TNfoTemplateFile, 6> NfoTemplateFiles = {{
    {SingleArtistTemplateFileName, false, TAudioFamily::Mp3, "", ""},
    {VariousArtistsTemplateFileName, true, TAudioFamily::Mp3, "", ""},
    {LosslessTemplateFileName, false, TAudioFamily::Lossless, "LosslessTemplate1",
     "&Lossless Album Template"},
    {LosslessVariousArtistsTemplateFileName, true, TAudioFamily::Lossless,
     "LosslessVariousArtistTemplate1", "Lossless V&arious Artist Template"},
    {LossyTemplateFileName, false, TAudioFamily::Lossy, "LossyTemplate1", "L&ossy Album Template"},
    {LossyVariousArtistsTemplateFileName, true, TAudioFamily::Lossy, "LossyVariousArtistTemplate1",
     "Lossy Various Artist &Template"},
}};

// The question a face asks before a compilation's document is made.
inline constexpr const char* VariousArtistsQuestion =
    "This seems to be a compilation album with various artists.\n\r"
    "Do you want to use the Various Artists Template?";

// The credit's last lines point to the program's web page, when the build names one.
std::vector<std::string> DefaultNfoTemplate(bool variousArtists,
                                            TAudioFamily family = TAudioFamily::Mp3,
                                            bool withAddress = HasProductURL());
// The built-in default of a template file, told by its name.
std::vector<std::string> DefaultNfoTemplateOfFile(const std::string& path);

// The template file a document of the album uses: the various-artists one for a
// compilation whose user wants it, else the single-artist one; of the pair of the album's
// audio: most of its tracks MP3, lossless, or of another lossy kind.
std::string NfoTemplatePath(const TAlbumInfo& album, bool useVariousArtistsTemplate,
                            const std::string& programFolder);

class TNFO : public TGenerate {
public:
  TNFO() = default;
  // Loads the chosen template as it stands (a missing one is empty).
  TNFO(const TAlbumInfo& album, bool useVariousArtistsTemplate, TSaveContext* context = nullptr);

  // Writes the template file's default; the problem when that failed.
  static std::optional<TProblem> WriteDefaultTemplate(const std::string& path);
};

// The save's template step: when the chosen template is missing or empty, its built-in
// default is written there (a failure shows its own error), so that after the first use
// every template exists for the user to edit. Each file gets its own default, whatever
// the album: a single-artist template written into the compilation file would cost
// every later compilation its artists. With a context, it reads the template and learns
// what was written.
std::optional<TProblem> PrepareNfoTemplate(const TAlbumInfo& album, bool useVariousArtistsTemplate,
                                           TSaveContext* context = nullptr);

// Opens an NFO template in the user's editor, creating it when missing.
std::optional<TProblem> EditTemplate(const std::string& fileName);
