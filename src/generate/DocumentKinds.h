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

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
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
  TDocumentRole Role = TDocumentRole::Nfo;
  std::string_view Name = {};          // ".sfv": how messages name it
  std::string_view Extension = {};     // beside the .nfo, with the .nfo's base name
  std::string_view PreferenceKey = {}; // [MenuPrefs]; empty: chosen by the save itself
  std::string_view MenuName = {};      // the window's menu item (its object name); empty: none
  std::string_view MenuText = {};
  std::string_view Option = {}; // the command line's flag; empty: none
  std::string_view OptionHelp = {};
  // A track whose name starts with this would be a comment line, not an entry.
  std::string_view CommentStart = {};
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
  // Where a post puts its files: before the tracks (what a reader opens first), after them
  // (what protects them), or not at all (what the post itself makes).
  enum TPosted : std::uint8_t { BeforeTracks, AfterTracks, NotPosted } Posted = BeforeTracks;
  // Whether it has anything to say of the album (nullptr: of every album); a save skips it
  // for an album it does not apply to, and says why.
  bool (*AppliesTo)(const TAlbumInfo& album) = nullptr;
  std::string_view NotApplying = {}; // "the album has no FLAC tracks"
};

// The path of a document beside a ".nfo" path: the same base name with its own
// extension (the extension of the file name replaced, or appended when it has none).
std::string CompanionPath(const std::string& nfoPath, std::string_view extension);

// A save that wrote nothing for this problem.
TSaveResult SaveFailure(std::string message, std::string path);
// A save that wrote nothing because a file could not be staged or put in place.
TSaveResult WriteFailure(TWriteResult write, const std::string& path);

// A one-file document's bytes, staged in the job's set when it has one.
TMade StagedDocument(const TMakeJob& job, std::string bytes);

// Each kind's row, beside its Make in its own file (SfvDocument.cpp, ...).
namespace document {
extern const TDocumentKind NfoKind, SfvKind, M3uKind, FfpKind, DrLogKind, Par2Kind, NzbKind;
} // namespace document

// In the order a save makes them, each at the index its role names (a test holds it).
inline constexpr std::array DocumentKinds = {
    std::cref(document::NfoKind), std::cref(document::SfvKind),   std::cref(document::M3uKind),
    std::cref(document::FfpKind), std::cref(document::DrLogKind), std::cref(document::Par2Kind),
    std::cref(document::NzbKind)};
inline constexpr std::size_t DocumentKindCount = DocumentKinds.size();

constexpr const TDocumentKind& KindOf(TDocumentRole role) {
  return DocumentKinds[static_cast<std::size_t>(role)].get();
}

// Which documents a save writes, by the table's order.
using TDocumentChoice = std::array<bool, DocumentKindCount>;
