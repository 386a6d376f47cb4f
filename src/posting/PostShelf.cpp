// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/PostShelf.h"

#include "common/FileUnit.h"
#include "common/NaturalOrder.h"
#include "posting/PostPlan.h"

#include <cerrno>
#include <cstring>
#include <utility>

TShelfWalk::TShelfWalk(const std::string& shelf) {
  const std::string top = shelf.ends_with('/') ? shelf : shelf + "/";
  if (!IsFolder(shelf) || !ReadFolder(top))
    ShelfUnreadable = true;
  else
    Root = top;
}

// Reads a folder: its subfolders become the next level; its .nfo, when it holds one, is
// an album.
std::optional<std::string> TShelfWalk::Enter(const std::string& folder) {
  const auto entries = ReadFolder(folder);
  if (!entries) {
    if (Skipped)
      Skipped(folder, std::strerror(errno));
    return std::nullopt;
  }
  TLevel level{folder, {}, 0};
  std::vector<std::string> nfos;
  for (const TFolderEntry& entry : *entries)
    if (entry.IsLink && (IsNfoPath(entry.Name) || IsFolder(folder + entry.Name)) && Passed)
      // A link could lead anywhere on the machine, or back up the shelf.
      Passed(folder + entry.Name, "a link: only the shelf's own folders and files are posted");
    else if (entry.IsFolder && !entry.IsLink)
      level.Subfolders.push_back(entry.Name);
    else if (!entry.IsFolder && !entry.IsLink && IsNfoPath(entry.Name))
      nfos.push_back(folder + entry.Name);
  SortNaturally(level.Subfolders);
  Levels.push_back(std::move(level));
  if (nfos.size() > 1 && Skipped) // the tracks beside them would go out with each
    Skipped(folder, "several .nfo files: post one of them by naming it");
  return nfos.size() == 1 ? std::optional(nfos.front()) : std::nullopt;
}

std::optional<std::string> TShelfWalk::Next() {
  if (Root) { // the shelf may be an album itself
    const std::string top = *std::exchange(Root, std::nullopt);
    if (auto album = Enter(top))
      return album;
  }
  while (!Levels.empty()) {
    TLevel& level = Levels.back();
    if (level.Next == level.Subfolders.size()) {
      Levels.pop_back();
      continue;
    }
    const std::string folder = level.Folder + level.Subfolders[level.Next++] + "/";
    if (auto album = Enter(folder))
      return album;
  }
  return std::nullopt;
}

TAlbumPostState AlbumPostStateOf(const std::string& nzbPath) {
  const std::string other =
      nzbPath.ends_with(".gz") ? nzbPath.substr(0, nzbPath.size() - 3) : nzbPath + ".gz";
  if (FileExists(JournalPathFor(nzbPath)) || FileExists(JournalPathFor(other)))
    return TAlbumPostState::Unfinished;
  return FileExists(nzbPath) || FileExists(other) ? TAlbumPostState::Posted : TAlbumPostState::New;
}

namespace {
// A fault of the server or the account, which every album after would meet too.
bool StopsTheShelf(const TPostSummary& summary) {
  return summary.Problem &&
         (summary.Cause == TFaultCause::Unreachable || summary.Cause == TFaultCause::Certificate ||
          summary.Cause == TFaultCause::Credentials || summary.Cause == TFaultCause::NoPosting);
}

std::string FailureWords(const TPostSummary& summary) {
  if (summary.Problem)
    return summary.Problem->Message;
  return std::to_string(summary.Failures) + " of " + std::to_string(summary.Articles) +
         " articles not found on the server";
}

// One album's post; false when the shelf stops after it.
bool PostOneAlbum(const std::string& nfo, const TShelfHooks& hooks, TShelfTotals& totals) {
  const auto tell = [&](TShelfOutcome outcome, const TPostSummary* summary,
                        const std::string& why) {
    if (hooks.Ended)
      hooks.Ended(nfo, outcome, summary, why);
  };
  TProblem problem;
  std::optional<TPostRequest> request = hooks.Prepare(nfo, problem);
  if (!request) {
    ++totals.Failed;
    tell(TShelfOutcome::Failed, nullptr, problem.Message);
    return true;
  }
  request->Progress = hooks.Progress;
  request->Cancelled = hooks.Cancelled;
  const TPostSummary summary = PostRelease(*request);
  if (summary.Cancelled) {
    totals.Paused = true;
    tell(TShelfOutcome::Paused, &summary, "");
    return false;
  }
  if (summary.Complete()) {
    ++totals.Posted;
    tell(TShelfOutcome::Posted, &summary, "");
    return true;
  }
  ++totals.Failed;
  tell(TShelfOutcome::Failed, &summary, FailureWords(summary));
  totals.Stopped = StopsTheShelf(summary);
  return !totals.Stopped;
}
} // namespace

TShelfTotals PostShelf(const std::string& shelf, const TShelfHooks& hooks) {
  TShelfTotals totals;
  TShelfWalk walk(shelf);
  walk.Skipped = [&](const std::string& folder, const std::string& why) {
    ++totals.Failed;
    if (hooks.Ended)
      hooks.Ended(folder, TShelfOutcome::Failed, nullptr, why);
  };
  walk.Passed = [&](const std::string& path, const std::string& why) {
    ++totals.Skipped;
    if (hooks.Ended)
      hooks.Ended(path, TShelfOutcome::Skipped, nullptr, why);
  };
  totals.BadShelf = walk.BadShelf();
  std::size_t tried = 0;
  while (const auto nfo = walk.Next()) {
    if (AlbumPostStateOf(hooks.NzbPathOf(*nfo)) == TAlbumPostState::Posted) {
      ++totals.Skipped;
      if (hooks.Ended)
        hooks.Ended(*nfo, TShelfOutcome::Skipped, nullptr, "posted before: its NZB is there");
      continue;
    }
    if (hooks.MaxAlbums != 0 && tried == hooks.MaxAlbums) {
      totals.Limited = true;
      break;
    }
    ++tried;
    if (!PostOneAlbum(*nfo, hooks, totals))
      break;
  }
  return totals;
}
