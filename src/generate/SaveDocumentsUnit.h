// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The save sequence shared by the window and the command-line tool: the ".nfo" and, when
// asked, the ".sfv" and ".m3u" beside it, prepared in full, checked, then put in place
// together or not at all.
#include "generate/AlbumUnit.h"
#include "generate/EncodingUnit.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TSaveRequest {
  std::string NfoPath;
  bool WithNfo = true; // false: only companions (an album whose .nfo is already there)
  bool WithSfv = false;
  bool WithM3u = false;
  // The .nfo's encoding; a character it lacks is written as "?" (the caller asks first).
  TNfoEncoding Encoding = TNfoEncoding::Utf8;
  // Given: the compilation question's answer, not asked. Unset: the host asks.
  std::optional<bool> UseVariousArtistsTemplate;
  // A template of the user's own instead of the NFO templates.
  std::string TemplatePath;
  // Nothing written and nothing shown: a missing template reads as its built-in default
  // (the live preview regenerates on every keystroke and must never raise a box).
  bool Quietly = false;
  // A file found at a planned path is replaced (the user agreed); otherwise every file
  // is created only where no file has its name, and one that appears meanwhile is kept.
  bool ReplaceExisting = true;
  // Tracks without a checksum yet: progress(done, total) while they are computed.
  std::function<void(std::size_t, std::size_t)> ChecksumProgress;
};

// The ".nfo" text for the album, as Preview shows it and Save writes it (in UTF-8).
std::string GenerateNfoText(const TAlbumInfo& album, const TSaveRequest& request);
// The checksums the .nfo's template asks for ($TRACK_CHECKSUM), computed for the tracks
// that lack them, as the .sfv has them computed; the path of a track that could not be
// read, if any.
std::optional<std::string> ComputeChecksumsTheNfoUses(TAlbumInfo& album,
                                                      const TSaveRequest& request);
// The characters of that text the request's encoding cannot hold, each once.
std::string UnmappableCharacters(const TAlbumInfo& album, const TSaveRequest& request);

// Whether a file beside the ".nfo" (the ".sfv", the ".m3u") may be written: true when
// there is none yet or the user agrees to replace it.
bool MayReplaceCompanion(const std::string& path);
// The information that existing companions were kept, after a save that wrote the .nfo.
void ReportCompanionsKept(const std::vector<std::string>& paths);

// One file a save writes, and one file it reads.
struct TDocument {
  std::string Role; // ".nfo", ".sfv", ".m3u"
  std::string Path;
  std::string Bytes;
};
struct TInputFile {
  std::string Role; // "track", "template"
  std::string Path;
};

// What a save did: the paths written, in order, or the problem that kept it from writing
// anything (the message and the file or files it names, one a line).
struct TSaveResult {
  bool Saved = false;
  bool Exists = false; // create-only, and a file had the name of one of the documents
  std::vector<std::string> Written;
  std::string Message;
  std::string Path;
};

// The paths of the documents a request asks for, in the order they are written.
std::vector<TDocument> PlannedDocuments(const TSaveRequest& request);

// Writes the album's documents as one set. Reports nothing: the caller shows the problem.
TSaveResult SaveAlbumDocuments(TAlbumInfo& album, const TSaveRequest& request);

// Writes prepared documents as one set, after checking that no two of them, and none of
// them and an input, are the same file.
TSaveResult WriteDocuments(const std::vector<TDocument>& documents,
                           const std::vector<TInputFile>& inputs, bool replaceExisting);

// The problem a track's file name makes for the lists that name it: a control character
// (a line break would split the entry) in any document, a leading ";" (a comment line)
// in the ".sfv". Nothing when every name can be listed.
std::optional<TSaveResult> UnlistableTrackName(const TAlbumInfo& album, bool inSfv);
