// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The documents a save writes, one kind each, in the order a save makes them: the ".nfo",
// the ".sfv" checksum list, the ".m3u" playlist, the PAR2 recovery set, made after them
// because it protects them, and the ".nzb", which only a post makes (from what the server
// accepted). A kind says how it is named and chosen (its extension,
// the preference that remembers it, the window's menu item, the command line's option),
// what its lines cannot carry, what it needs from the tracks, and makes itself. The save,
// the replace question, the window and the command line all loop over this table.
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "common/Problem.h"
#include "generate/AlbumUnit.h"
#include "par2/RecoverySetUnit.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Each role is its row's index in DocumentKinds.
enum class TDocumentRole : std::uint8_t { Nfo, Sfv, M3u, Ffp, DrLog, Par2, Nzb };

// What a kind needs from every track before it is made.
enum class TTrackDigest : std::uint8_t { None, Crc32 };

// A file a save reads.
enum class TInputRole : std::uint8_t { Track, Extra, Template };
struct TInputFile {
  TInputRole Role = TInputRole::Track;
  std::string Path;
};
std::string_view InputRoleName(TInputRole role); // "track", as messages name it

// What a save did, or the problem that kept it from writing anything.
struct TSaveResult {
  std::vector<std::string> Written; // the files, in order
  std::vector<std::string> Kept;    // existing documents the face chose to keep
  std::optional<TProblem> Problem;
  // What went wrong without stopping the save (a default template not written): the face
  // shows each.
  std::vector<TProblem> Warnings;
  // The documents chosen that do not apply to the album, each with why: skipped, and said,
  // but nothing went wrong.
  std::vector<TProblem> NotWritten;
  // What the save found of the album that a poster must hear (a track possibly
  // transcoded): said, and nothing went wrong.
  std::vector<TProblem> Notes;
  bool Exists = false;    // create-only, and a file had the name of one of the documents
  bool Cancelled = false; // the user stopped it: nothing to tell beyond that
  bool Saved() const { return !Problem && !Cancelled; }
};

struct TSaveRequest;
class TSaveContext;

// A document made earlier in the same save, for a kind that protects the others.
struct TMadeFile {
  std::string Path;
  std::string_view Bytes;
};

// What a kind's Make is given.
struct TMakeJob {
  TAlbumInfo& Album; // tracks may get the checksums the document's template asks for
  const TSaveRequest& Request;
  TSaveContext* Context; // none for the documents a post makes
  std::string Path;      // where the document goes
  std::span<const TMadeFile> Made;
  std::span<const TInputFile> Inputs;
  TFileSet* Set = nullptr; // where its files are staged; none: the bytes are only returned
  TWriteMode Mode = TWriteMode::Replace;
};

// What a Make did: a one-file document's bytes, and the files it staged (Result.Written)
// or the problem that stopped it.
struct TMade {
  std::string Bytes;
  TSaveResult Result;
};

struct TDocumentKind {
  TDocumentRole Role;
  std::string_view Name;          // ".sfv": how messages name it
  std::string_view Extension;     // beside the .nfo, with the .nfo's base name
  std::string_view PreferenceKey; // [MenuPrefs]; empty: chosen by the save itself
  std::string_view MenuName;      // the window's menu item (its object name); empty: none
  std::string_view MenuText;
  std::string_view Option; // the command line's flag; empty: none
  std::string_view OptionHelp;
  // A track whose name starts with this would be a comment line, not an entry.
  std::string_view CommentStart;
  // Computed for the tracks that lack it before the document is made.
  TTrackDigest Digest = TTrackDigest::None;
  // It names each track relative to its own folder, so a track outside that folder cannot
  // be in it.
  bool ListsTracks = false;
  // A file of the document is at path already.
  bool (*Exists)(const std::string& path) = nullptr;
  // The names (relative to its folder) the document at path lists, to be kept true when
  // a document it lists changes; nullptr: it lists none of the others.
  std::vector<std::string> (*NamesListed)(const std::string& path) = nullptr;
  // The save's template step: a missing template gets its default (a failure goes to the
  // context's problems). nullptr: no template.
  void (*PrepareTemplate)(const TAlbumInfo& album, const TSaveRequest& request,
                          TSaveContext& context) = nullptr;
  TMade (*Make)(const TMakeJob& job) = nullptr;
  // Which command makes it: a save (the .nfo always, the others as chosen) or a post.
  enum TMadeBy : std::uint8_t { Save, Post } MadeBy = Save;
  // Whether it has anything to say of the album (nullptr: of every album); a save skips it
  // for an album it does not apply to, and says why.
  bool (*AppliesTo)(const TAlbumInfo& album) = nullptr;
  std::string_view NotApplying = {}; // "the album has no FLAC tracks"
};

// The path of a document beside a ".nfo" path: the same base name with its own
// extension (the extension of the file name replaced, or appended when it has none).
std::string CompanionPath(const std::string& nfoPath, std::string_view extension);

// Each kind's own code (DocumentKinds.cpp).
namespace document {
std::vector<std::string> NamesInSfv(const std::string& path);
std::vector<std::string> NamesInRecoverySet(const std::string& path);
void PrepareNfoTemplate(const TAlbumInfo& album, const TSaveRequest& request,
                        TSaveContext& context);
void PrepareSfvTemplate(const TAlbumInfo& album, const TSaveRequest& request,
                        TSaveContext& context);
TMade MakeNfo(const TMakeJob& job);
TMade MakeSfv(const TMakeJob& job);
TMade MakeM3u(const TMakeJob& job);
bool HasFlacTracks(const TAlbumInfo& album);
TMade MakeFfp(const TMakeJob& job);
TMade MakeDrLog(const TMakeJob& job);
TMade MakeRecoverySet(const TMakeJob& job);
TMade MakeNzb(const TMakeJob& job);
} // namespace document

inline constexpr std::array DocumentKinds = {
    TDocumentKind{TDocumentRole::Nfo, ".nfo", ".nfo", "", "", "", "", "", "", TTrackDigest::None,
                  false, ::FileExists, nullptr, document::PrepareNfoTemplate, document::MakeNfo},
    TDocumentKind{TDocumentRole::Sfv, ".sfv", ".sfv", "MakeSFV", "GenerateSFVfile1",
                  "Generate .SFV files also", "--sfv",
                  "also write the .sfv checksum list beside the .nfo", ";", TTrackDigest::Crc32,
                  true, ::FileExists, document::NamesInSfv, document::PrepareSfvTemplate,
                  document::MakeSfv},
    TDocumentKind{TDocumentRole::M3u, ".m3u", ".m3u", "MakeM3U", "GenerateM3Ufile1",
                  "Generate .M3U playlist also", "--m3u", "also write the .m3u playlist beside it",
                  "", TTrackDigest::None, true, ::FileExists, nullptr, nullptr, document::MakeM3u},
    TDocumentKind{TDocumentRole::Ffp, ".ffp", ".ffp", "MakeFFP", "GenerateFFPfile1",
                  "Generate .FFP fingerprints also", "--ffp",
                  "also write the .ffp audio fingerprints of the FLAC tracks beside it", ";",
                  TTrackDigest::None, true, ::FileExists, nullptr, nullptr, document::MakeFfp,
                  TDocumentKind::Save, document::HasFlacTracks, "the album has no FLAC tracks"},
    TDocumentKind{TDocumentRole::DrLog, "DR log", "_dr.txt", "MakeDRLog", "GenerateDRLog1",
                  "Generate DR log also", "--dr-log",
                  "also measure the tracks' dynamic range into a DR log beside it", "",
                  TTrackDigest::None, false, ::FileExists, nullptr, nullptr, document::MakeDrLog},
    TDocumentKind{TDocumentRole::Par2, ".par2", ".par2", "MakePAR2", "GeneratePAR2files1",
                  "Generate .PAR2 recovery files also", "--par2",
                  "also write PAR2 recovery files for the tracks and the documents", "",
                  TTrackDigest::None, true, ::RecoveryFilesExist, document::NamesInRecoverySet,
                  nullptr, document::MakeRecoverySet},
    TDocumentKind{TDocumentRole::Nzb, ".nzb", ".nzb", "", "", "", "", "", "", TTrackDigest::None,
                  false, ::FileExists, nullptr, nullptr, document::MakeNzb, TDocumentKind::Post},
};
inline constexpr std::size_t DocumentKindCount = DocumentKinds.size();

constexpr bool RolesAreIndexes() {
  for (std::size_t i = 0; i < DocumentKindCount; ++i)
    if (static_cast<std::size_t>(DocumentKinds[i].Role) != i)
      return false;
  return true;
}
static_assert(RolesAreIndexes(), "a document kind's role is its row");

constexpr const TDocumentKind& KindOf(TDocumentRole role) {
  return DocumentKinds[static_cast<std::size_t>(role)];
}

// Which documents a save writes, by the table's order.
using TDocumentChoice = std::array<bool, DocumentKindCount>;
