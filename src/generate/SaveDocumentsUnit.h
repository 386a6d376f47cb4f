#pragma once
// The save sequence shared by the window and the command-line tool: the ".nfo" and, when
// asked, the ".sfv" beside it, each written whole or not at all.
#include "generate/AlbumUnit.h"

#include <functional>
#include <optional>
#include <string>

struct TSaveRequest {
  std::string NfoPath;
  bool WithSfv = false;
  // Given: the compilation question's answer, not asked. Unset: the host asks.
  std::optional<bool> UseVariousArtistsTemplate;
  // A template of the user's own instead of the NFO templates.
  std::string TemplatePath;
  // Tracks without a checksum yet: progress(done, total) while they are computed.
  std::function<void(std::size_t, std::size_t)> ChecksumProgress;
};

// The ".nfo" text for the album, as Preview shows it and Save writes it.
std::string GenerateNfoText(const TAlbumInfo& album, const TSaveRequest& request);

// Whether the ".sfv" beside the ".nfo" may be written: true when there is none yet or the
// user agrees to replace it.
bool MayReplaceSfv(const std::string& nfoPath);
// The information that the ".sfv" was kept, after a save that did not replace it.
void ReportSfvKept(const std::string& nfoPath);

// False at the first document that could not be written, whose path goes to failedPath;
// the caller reports it.
bool SaveAlbumDocuments(TAlbumInfo& album, const TSaveRequest& request,
                        std::string* failedPath = nullptr);
