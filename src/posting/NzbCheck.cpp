// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/NzbCheck.h"

#include "posting/ConnectionPool.h"
#include "posting/YEnc.h"

#include <algorithm>
#include <mutex>

namespace {
// The largest article the body check fetches: far beyond any poster's, far below memory.
constexpr std::uint64_t LargestArticle = 64ULL << 20;

struct TArticleRef {
  std::size_t File = 0, Segment = 0;
};

// Whether the body holds a whole yEnc part whose bytes match the CRC it declares.
bool Intact(const std::string& body, std::size_t maxBytes) {
  const auto decoded = YEncDecode(body, maxBytes);
  return decoded && decoded->Complete && decoded->DeclaredPartCrc &&
         *decoded->DeclaredPartCrc == decoded->Crc;
}
} // namespace

std::string NzbFileName(const std::string& subject) {
  const std::size_t open = subject.find('"');
  const std::size_t close = open == std::string::npos ? open : subject.find('"', open + 1);
  if (close == std::string::npos || close == open + 1)
    return subject;
  return subject.substr(open + 1, close - open - 1);
}

namespace {
// Whether the server has the segment's article (by STAT, or by its body, whole when its
// yEnc holds together).
std::optional<TNntpFault> LookUp(TNntpClient& client, const TNzbSegment& segment, bool checkBodies,
                                 TLookup& found, bool& whole) {
  if (!checkBodies)
    return client.Stat(segment.MessageId, found);
  const std::size_t most = static_cast<std::size_t>(std::min(
                               std::max<std::uint64_t>(segment.Bytes, 1 << 20), LargestArticle)) +
                           65536;
  std::string body;
  if (auto fault = client.Body(segment.MessageId, most, body, found))
    return fault;
  whole = found == TLookup::Missing || Intact(body, most);
  return std::nullopt;
}

} // namespace

TNzbCheckResult CheckNzbArticles(const TNzbCheckRequest& request) {
  TNzbCheckResult result;
  std::vector<TArticleRef> articles;
  for (std::size_t f = 0; f < request.Release.Files.size(); ++f) {
    const TNzbFile& file = request.Release.Files[f];
    result.Files.push_back({NzbFileName(file.Subject), file.Segments.size(), 0, 0, 0, {}});
    for (std::size_t s = 0; s < file.Segments.size(); ++s)
      articles.push_back({f, s});
  }
  std::vector<std::size_t> items(articles.size());
  for (std::size_t i = 0; i < items.size(); ++i)
    items[i] = i;
  std::mutex lock;
  std::atomic<bool> failed{false};
  std::size_t done = 0;
  const auto ended = [&] {
    return failed.load() || (request.Cancelled && request.Cancelled->load());
  };
  const TPoolHooks hooks{ended,
                         [&](const TNntpFault& fault) {
                           std::lock_guard guard(lock);
                           if (!result.Problem)
                             result.Problem = TProblem{fault.Message, {}};
                           failed = true;
                         },
                         [] {
                         }};
  RunOnConnections(
      request.Settings, items,
      [&](TNntpClient& client, std::size_t item) {
        const TArticleRef ref = articles[item];
        const TNzbSegment& segment = request.Release.Files[ref.File].Segments[ref.Segment];
        TLookup found = TLookup::Missing;
        bool whole = true;
        if (auto fault = LookUp(client, segment, request.Settings.CheckBodies, found, whole))
          return fault;
        std::lock_guard guard(lock);
        TNzbFileCheck& file = result.Files[ref.File];
        if (found == TLookup::Missing || !whole)
          file.MissingIds.push_back(segment.MessageId);
        ++(found == TLookup::Missing ? file.Missing : whole ? file.Present : file.Damaged);
        ++done;
        if (file.Done() && request.FileChecked)
          request.FileChecked(ref.File, file);
        if (request.Progress)
          request.Progress(done, articles.size());
        return std::optional<TNntpFault>();
      },
      hooks);
  result.Cancelled = !result.Problem && request.Cancelled && request.Cancelled->load();
  return result;
}

std::string_view NzbFileWord(const TNzbFileCheck& file) {
  return !file.Done()                    ? "NOT CHECKED"
         : file.Present == file.Segments ? "OK"
         : file.Present == 0             ? "MISSING"
                                         : "INCOMPLETE";
}

std::string NzbCheckSummary(const TNzbCheckResult& result) {
  std::size_t articles = 0, present = 0, missing = 0, damaged = 0;
  for (const TNzbFileCheck& file : result.Files) {
    articles += file.Segments;
    present += file.Present;
    missing += file.Missing;
    damaged += file.Damaged;
  }
  std::string text = std::to_string(result.Files.size()) + " files, " + std::to_string(articles) +
                     " articles: " + std::to_string(present) + " on the server";
  if (missing > 0)
    text += ", " + std::to_string(missing) + " missing";
  if (damaged > 0)
    text += ", " + std::to_string(damaged) + " damaged";
  if (present + missing + damaged < articles)
    text += ", " + std::to_string(articles - present - missing - damaged) + " not checked";
  if (result.Problem)
    text += "; the check stopped: " + result.Problem->Message;
  else if (result.Cancelled)
    text += " (cancelled)";
  return text;
}
