#pragma once
// The save sequence shared by the window and the command-line tool: the ".nfo" and, when
// asked, the ".sfv" beside it, each written whole or not at all.
#include "generate/AlbumUnit.h"
#include "generate/EncodingUnit.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TSaveRequest {
  std::string NfoPath;
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
  // Tracks without a checksum yet: progress(done, total) while they are computed.
  std::function<void(std::size_t, std::size_t)> ChecksumProgress;
};

// The ".nfo" text for the album, as Preview shows it and Save writes it (in UTF-8).
std::string GenerateNfoText(const TAlbumInfo& album, const TSaveRequest& request);
// The characters of that text the request's encoding cannot hold, each once.
std::string UnmappableCharacters(const TAlbumInfo& album, const TSaveRequest& request);

// Whether a file beside the ".nfo" (the ".sfv", the ".m3u") may be written: true when
// there is none yet or the user agrees to replace it.
bool MayReplaceCompanion(const std::string& path);
// The information that existing companions were kept, after a save that wrote the .nfo.
void ReportCompanionsKept(const std::vector<std::string>& paths);

// False at the first document that could not be written, whose path goes to failedPath;
// the caller reports it.
bool SaveAlbumDocuments(TAlbumInfo& album, const TSaveRequest& request,
                        std::string* failedPath = nullptr);
