// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the commands that write an album's documents share: the album built from the
// operands and options as the window builds it, the options every such command offers,
// progress lines, and the one way a problem is shown.
#include "audio/TrackReaderUnit.h"
#include "cli/CliCommand.h"
#include "common/Host.h"
#include "generate/AlbumSession.h"
#include "generate/DocumentKinds.h"
#include "par2/RecoverySetUnit.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class TAlbumOutcome { Written, Skipped, Failed, BadUsage };

// The reader's idle moments as a progress line on stderr, when a terminal shows it.
std::function<bool(const TReadProgress&)> ReadingProgress(TCliContext& context);
// "Label 42%" on one line redrawn, the line ended at 100 %; nothing without a terminal.
std::function<bool(std::uint64_t, std::uint64_t)> PercentLine(TCliContext& context,
                                                              const std::string& label);
// "\r<label> n/m" on stderr while long checksums run, when a terminal shows it.
std::function<void(std::size_t, std::size_t)> ProgressLine(TCliContext& context,
                                                           const std::string& label);

// The options every album field has, from the field table: a text, a choice or a date
// takes a value; a check mark is a flag, and its "--no-" form clears it.
std::vector<TCliOption> AlbumFieldOptions();
// Each document kind's option (--sfv, --m3u, --par2).
std::vector<TCliOption> DocumentOptions();
extern const std::vector<TCliOption> SortOptions;
extern const std::vector<TCliOption> RecoveryOptionList;

// The album as the window makes it: the session opened from the program folder, the
// tracks and their majorities, then the options.
struct TAlbumRun {
  TAlbumSession Session;
  std::string Folder;
  std::size_t UnreadTracks = 0; // named as they were read; the album is still made
  // The files' audio is read for the documents: what a file holds is told. A checksum list
  // or a recovery set takes any file, and says nothing of what it holds.
  bool AudioMatters = true;
};

// Nothing when the album was made, else why not (said).
std::optional<TAlbumOutcome> BuildAlbum(const TCliArguments& arguments, TCliContext& context,
                                        bool withChecksum, TAlbumRun& run);
// --redundancy and --block-size, with the window's redundancy as the default, and the
// progress line; false (said why) for a value out of range.
struct TSaveRequest;
bool RecoveryOptions(const TCliArguments& arguments, TCliContext& context,
                     const TPreferences& preferences, TSaveRequest& request);
// Without --force an existing document is kept and named; the others are still written.
bool Kept(const std::string& path, bool exists, const TCliArguments& arguments,
          TCliContext& context);
struct TSaveRequest;
// A request for one document at the path -o gives, or beside the tracks.
TSaveRequest OneDocument(const TAlbumRun& run, const TCliArguments& arguments, TDocumentRole role);
// The one document of sfv and par2 written as the save writes it, kept without --force;
// the paths written are printed.
int WriteOneDocument(TAlbumInfo& album, const TSaveRequest& request, TDocumentRole role,
                     const TCliArguments& arguments, TCliContext& context,
                     TSaveContext& saveContext);
// False (said why) when documents left as they are would no longer match one the save
// writes; with --force they are named and the save goes on.
bool StaleAllowed(const TSaveRequest& request, const TCliArguments& arguments,
                  TCliContext& context);
// A document's path beside the tracks, with the album's default name.
std::string DefaultDocumentPath(const TAlbumRun& run, TDocumentRole role);

// Every folder at or below the roots that holds track files, in order.
struct TAlbumFolders {
  std::vector<std::string> Albums;
  std::size_t Unreadable = 0; // folders below a root
  bool BadRoot = false;       // a root that is no readable folder
};
TAlbumFolders FindAlbumFolders(const std::vector<std::string>& roots, TCliContext& context);
// A folder among the operands holds albums in folders below it.
bool HasAlbumsBelow(const std::vector<std::string>& operands);
