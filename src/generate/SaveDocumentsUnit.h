// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The save shared by the window and the command-line tool, in two steps: a plan says what
// the save would write and what must be decided first (existing files, a compilation's
// template, characters the encoding lacks, a problem that forbids it); the face answers
// (the window with boxes, the command line from its options) and the save writes the
// ".nfo" and its companions as one set. Nothing here asks a question.
#include "generate/AlbumUnit.h"
#include "generate/DocumentKinds.h"
#include "generate/EncodingUnit.h"
#include "generate/NzbDocument.h"
#include "generate/SaveContext.h"
#include "par2/RecoverySetUnit.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TSaveRequest {
  // The .nfo's path; each other document goes beside it with the .nfo's base name.
  std::string NfoPath;
  TDocumentChoice Chosen = {true}; // the .nfo alone unless more are chosen
  // A document's own path instead of the one beside the .nfo (the command line's -o).
  std::array<std::string, DocumentKindCount> Paths{};
  // The .nfo's encoding; a character it lacks is written as "?" once the face agreed.
  TNfoEncoding Encoding = TNfoEncoding::Utf8;
  // The compilation's template: the various-artists one or not. Unset: not decided, the
  // single-artist one.
  std::optional<bool> UseVariousArtistsTemplate;
  // A template of the user's own instead of the NFO templates.
  std::string TemplatePath;
  // Tracks without a checksum yet: progress(done, total) while they are computed.
  std::function<void(std::size_t, std::size_t)> ChecksumProgress;
  // The recovery files' redundancy and slice size.
  TRecoverySettings Recovery;
  // Heard while a document is made, with the bytes worked through and all there are (the
  // recovery files' are the long ones); false stops the save.
  std::function<bool(std::uint64_t done, std::uint64_t total)> MakingProgress;
  // Heard while the tracks are measured (the .nfo's figures, the DR log), with the bytes
  // decoded and all there are; false stops the save. Empty: MakingProgress is.
  std::function<bool(std::uint64_t done, std::uint64_t total)> MeasuringProgress;
  // What a post put on the server, for the .nzb.
  const TNzbRelease* Posted = nullptr;

  bool Wants(TDocumentRole role) const { return Chosen[static_cast<std::size_t>(role)]; }
  const std::function<bool(std::uint64_t, std::uint64_t)>& Measuring() const {
    return MeasuringProgress ? MeasuringProgress : MakingProgress;
  }
  std::string PathOf(TDocumentRole role) const;
};

// One document a save writes.
struct TDocument {
  TDocumentRole Role = TDocumentRole::Nfo;
  std::string Path;
  bool Exists = false; // a regular file has the name already
};

// What a save would do, and what the face must decide before it does.
struct TSavePlan {
  TSaveRequest Request;
  std::vector<TDocument> Documents; // in the order they are made
  std::optional<TProblem> Problem;  // one path two roles, a name the lists cannot hold
  std::vector<TProblem> NotWritten; // chosen, but not for this album (its request skips them)
  bool CompilationQuestion = false; // a compilation, and the request leaves its template
  // The characters the encoding lacks, with the single-artist and the various-artists
  // template ([1] only differs when the compilation question is open).
  std::array<std::string, 2> Unmappable;
  // The characters the encoding lacks with the template the answer chooses.
  const std::string& UnmappableWith(std::optional<bool> variousArtists) const;
};

// The face's decisions.
struct TSaveAnswers {
  std::optional<bool> UseVariousArtistsTemplate; // to the compilation question
  std::vector<std::string> Keep;                 // existing documents not to replace
  bool ReplaceExisting = true;  // any other existing one is replaced; else created only
  bool WriteUnmappable = false; // characters the encoding lacks become "?"
  bool RememberTexts = false;   // the remembered lists learn the boxes' texts
};

// The album's tracks as the files a save reads.
std::vector<TInputFile> TrackInputs(const TAlbumInfo& album);

// The documents a request asks for, in the order they are made.
std::vector<TDocument> PlannedDocuments(const TSaveRequest& request);
TSavePlan PlanSave(const TAlbumInfo& album, TSaveRequest request, TSaveContext& context);
// The request the plan and the answers make: the kept documents left out.
TSaveRequest AnsweredRequest(const TSavePlan& plan, const TSaveAnswers& answers);

// The ".nfo" text as Save writes it (in UTF-8, before encoding), from the templates as
// they are on disk after the save's template step.
std::string GenerateNfoText(const TAlbumInfo& album, const TSaveRequest& request,
                            TSaveContext& context);
// The same without touching a file: a missing template reads as its built-in default.
std::string DraftNfoText(const TAlbumInfo& album, const TSaveRequest& request,
                         TSaveContext& context);
// The characters of the draft text the request's encoding cannot hold, each once.
std::string UnmappableCharacters(const TAlbumInfo& album, const TSaveRequest& request,
                                 TSaveContext& context);

// The save's template step: each template the request uses gets its default when it is
// missing or empty (failures go to the context's problems).
void PrepareTemplates(const TAlbumInfo& album, const TSaveRequest& request, TSaveContext& context);

// The checksums the .nfo's template asks for ($TRACK_CHECKSUM), computed for the tracks
// that lack them, as the .sfv has them computed; the path of a track that could not be
// read, if any.
std::optional<std::string>
ComputeChecksumsTheNfoUses(TAlbumInfo& album, const TSaveRequest& request, TSaveContext& context);

// The measurements the .nfo's template shows ($DR and the like), made once for the album's
// tracks; false when progress said stop.
bool MeasureWhatTheNfoShows(TAlbumInfo& album, const TSaveRequest& request, TSaveContext& context);

// Writes the chosen documents as one set, each kind in turn; existing files are replaced
// when replaceExisting, else created only. Reports nothing: the face shows the problem.
TSaveResult SaveAlbumDocuments(TAlbumInfo& album, const TSaveRequest& request, bool replaceExisting,
                               TSaveContext& context);
// One document's bytes, made as the save makes them, without writing anything.
TMade MakeDocumentBytes(TAlbumInfo& album, const TSaveRequest& request, TDocumentRole role,
                        TSaveContext& context);

// The documents a post makes (its .nzb at nzbPath, any other beside it), from what the
// server accepted, written whole or not at all over the post's own.
TSaveResult SavePostedDocuments(const TNzbRelease& posted, const std::string& nzbPath);

// A document on disk that lists one the save writes, and is not written with it: once the
// save is done it no longer matches what it lists (a kept .par2 set and a new .nfo).
struct TStaleDocument {
  std::string Path;
  std::string Lists; // the document written that it lists
};
// The documents the request leaves as they are (not chosen, or kept) that list one it
// writes.
std::vector<TStaleDocument> StaleDocuments(const TSaveRequest& request);
// "album.par2 lists album.nfo, which this save changes, and will no longer match it."
std::string StaleNote(const std::vector<TStaleDocument>& stale);

// The problem a track makes for the lists that name it: a control character in its name
// (a line break would split the entry), a document's comment mark at its start, or a
// place outside the folder of a document that names it. Nothing when every track can be
// listed.
std::optional<TProblem> UnlistableTrack(const TAlbumInfo& album, const TSaveRequest& request);
// A list that cannot name this track: it lies outside the list's folder.
TProblem TrackOutsideFolder(const TDocumentKind& kind, const std::string& track);

// The faces' texts for the questions a plan leaves open and for what the save kept.
std::string ReplaceQuestion(const std::string& path);
// One question for every existing file beside the .nfo: "a.sfv and a.m3u already exist...".
std::string ReplaceQuestion(const std::vector<std::string>& paths);
std::string UnmappableQuestion(TNfoEncoding encoding, const std::string& characters);
std::string CompanionsKeptNote(const std::vector<std::string>& paths);
