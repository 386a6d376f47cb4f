// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The save shared by the window and the command-line tool, in two steps: a plan says what
// the save would write and what must be decided first (existing files, a compilation's
// template, characters the encoding lacks, a problem that forbids it); the face answers
// (the window with boxes, the command line from its options) and the save writes the
// ".nfo" and its companions as one set. Nothing here asks a question.
#include "generate/AlbumUnit.h"
#include "generate/CompanionTable.h"
#include "generate/EncodingUnit.h"
#include "generate/RecoverySetUnit.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TSaveRequest {
  std::string NfoPath;
  bool WithNfo = true; // false: only companions (an album whose .nfo is already there)
  TCompanionChoice Companions{};
  // The .nfo's encoding; a character it lacks is written as "?" once the face agreed.
  TNfoEncoding Encoding = TNfoEncoding::Utf8;
  // The compilation's template: the various-artists one or not. Unset: not decided, the
  // single-artist one.
  std::optional<bool> UseVariousArtistsTemplate;
  // A template of the user's own instead of the NFO templates.
  std::string TemplatePath;
  // Tracks without a checksum yet: progress(done, total) while they are computed.
  std::function<void(std::size_t, std::size_t)> ChecksumProgress;
  // The recovery files' redundancy, slice size and progress.
  TRecoverySettings Recovery;
};

// One file a save writes, and one file it reads.
struct TDocument {
  std::string Role; // ".nfo", or the role of a companion
  std::string Path;
  std::string Bytes;
  bool Exists = false; // a regular file has the name already
};
struct TInputFile {
  std::string Role; // "track", "template"
  std::string Path;
};

// What a save did: the paths written, in order, or the problem that kept it from writing
// anything (the message and the file or files it names, one a line).
struct TSaveResult {
  bool Saved = false;
  bool Exists = false;    // create-only, and a file had the name of one of the documents
  bool Cancelled = false; // the user stopped it
  std::vector<std::string> Written;
  std::string Message;
  std::string Path;
};

// What a save would do, and what the face must decide before it does.
struct TSavePlan {
  TSaveRequest Request;
  std::vector<TDocument> Documents;   // the .nfo first, then its companions, without bytes
  std::optional<TSaveResult> Problem; // one path two roles, a name the lists cannot hold
  bool CompilationQuestion = false;   // a compilation, and the request leaves its template
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

// The documents a request asks for, in the order they are written, without bytes.
std::vector<TDocument> PlannedDocuments(const TSaveRequest& request);
TSavePlan PlanSave(const TAlbumInfo& album, TSaveRequest request);
// The request the plan and the answers make: the kept documents left out.
TSaveRequest AnsweredRequest(const TSavePlan& plan, const TSaveAnswers& answers);

// The ".nfo" text as Save writes it (in UTF-8, before encoding), from the templates as
// they are on disk after the save's template step.
std::string GenerateNfoText(const TAlbumInfo& album, const TSaveRequest& request);
// The same without touching a file: a missing template reads as its built-in default.
std::string DraftNfoText(const TAlbumInfo& album, const TSaveRequest& request);
// The characters of the draft text the request's encoding cannot hold, each once.
std::string UnmappableCharacters(const TAlbumInfo& album, const TSaveRequest& request);

// The save's template step: each template the request uses gets its default when it is
// missing or empty (failures show their own errors).
void PrepareTemplates(const TAlbumInfo& album, const TSaveRequest& request);

// The checksums the .nfo's template asks for ($TRACK_CHECKSUM), computed for the tracks
// that lack them, as the .sfv has them computed; the path of a track that could not be
// read, if any.
std::optional<std::string> ComputeChecksumsTheNfoUses(TAlbumInfo& album,
                                                      const TSaveRequest& request);

// Writes the album's documents as one set; existing files are replaced when
// replaceExisting, else created only. Reports nothing: the caller shows the problem.
TSaveResult SaveAlbumDocuments(TAlbumInfo& album, const TSaveRequest& request,
                               bool replaceExisting);

// Writes prepared documents as one set, after checking that no two of them, and none of
// them and an input, are the same file.
// A ".par2" document stands for the recovery files of the tracks and the other documents,
// made with these settings.
TSaveResult WriteDocuments(const std::vector<TDocument>& documents,
                           const std::vector<TInputFile>& inputs, bool replaceExisting,
                           const TRecoverySettings& recovery = {});

// The problem a track's file name makes for the lists that name it: a control character
// (a line break would split the entry) in any document, a companion's comment mark at
// its start. Nothing when every name can be listed.
std::optional<TSaveResult> UnlistableTrackName(const TAlbumInfo& album,
                                               const TCompanionChoice& companions);

// The faces' texts for the questions a plan leaves open and for what the save kept.
std::string ReplaceQuestion(const std::string& path);
// One question for every existing file beside the .nfo: "a.sfv and a.m3u already exist...".
std::string ReplaceQuestion(const std::vector<std::string>& paths);
std::string UnmappableQuestion(TNfoEncoding encoding, const std::string& characters);
std::string CompanionsKeptNote(const std::vector<std::string>& paths);
