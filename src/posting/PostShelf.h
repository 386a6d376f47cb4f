// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Posting a shelf: every saved album below a folder (a folder holding an album's .nfo and
// the set saved beside it), one after the other, each with its own NZB and journal. The
// shelf is walked as it is posted, never listed whole, so a shelf of any size takes the
// memory of its deepest path. A run cut short is continued by running it again: an album
// whose NZB is there without a journal was posted and is skipped; one with a journal goes
// on from it; nothing is posted twice.
#include "posting/Poster.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The saved albums below a folder, one at a time, folders in natural order.
class TShelfWalk {
public:
  explicit TShelfWalk(const std::string& shelf);
  // The next album's .nfo; nothing at the end. A folder that cannot be read, or that
  // holds several .nfo files (whose set is not one album's), is told through Skipped.
  std::optional<std::string> Next();
  bool BadShelf() const { return ShelfUnreadable; }
  std::function<void(const std::string& folder, const std::string& why)> Skipped;
  // A link to a folder or an .nfo, passed over: it could lead anywhere on the machine.
  std::function<void(const std::string& path, const std::string& why)> Passed;

private:
  struct TLevel {
    std::string Folder;
    std::vector<std::string> Subfolders; // natural order
    std::size_t Next = 0;
  };
  std::optional<std::string> Enter(const std::string& folder);
  std::optional<std::string> Root; // not entered yet
  std::vector<TLevel> Levels;
  bool ShelfUnreadable = false;
};

// Where an album stands from its NZB and journal (either name, .nzb or .nzb.gz).
enum class TAlbumPostState {
  New,        // neither: not posted yet
  Unfinished, // a journal: a post to go on from
  Posted      // an NZB and no journal: every article is on the server
};
TAlbumPostState AlbumPostStateOf(const std::string& nzbPath);

enum class TShelfOutcome { Posted, Failed, Skipped, Paused };

struct TShelfHooks {
  // The album's post made ready by the face (its groups, poster, settings and NZB path);
  // nothing, with the problem, when it cannot be.
  std::function<std::optional<TPostRequest>(const std::string& nfoPath, TProblem& problem)> Prepare;
  // The NZB an album's post writes, judged before the album is read.
  std::function<std::string(const std::string& nfoPath)> NzbPathOf;
  // Each album as it ends: the summary when it was posted (or tried); the problem's words
  // otherwise.
  std::function<void(const std::string& nfoPath, TShelfOutcome outcome, const TPostSummary* summary,
                     const std::string& why)>
      Ended;
  std::function<void(const TPostProgress&)> Progress;
  const std::atomic<bool>* Cancelled = nullptr;
  std::size_t MaxAlbums = 0; // posted or tried by this run; 0: all
};

struct TShelfTotals {
  // Failed counts the folders that could not be read too.
  std::size_t Posted = 0, Failed = 0, Skipped = 0;
  bool Paused = false;   // cancelled: the album under way goes on next run
  bool Stopped = false;  // the server refused the account or could not be reached
  bool Limited = false;  // MaxAlbums reached with albums left
  bool BadShelf = false; // the shelf itself could not be read
};

TShelfTotals PostShelf(const std::string& shelf, const TShelfHooks& hooks);
