// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/Poster.h"

#include "audio/CRC32Unit.h"
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "generate/NzbDocument.h"
#include "generate/SaveDocumentsUnit.h"
#include "posting/ConnectionPool.h"
#include "posting/YEnc.h"

#include <algorithm>
#include <ctime>
#include <mutex>
#include <set>
#include <thread>

namespace {
using TJob = TConnectionJob;

// What the posting threads share.
struct TShared {
  TShared(TPostRequest& request, TPostJournal& journal, TPostSummary& summary)
      : Request(request), Journal(journal), Summary(summary) {}
  TPostRequest& Request;
  TPostJournal& Journal;
  TPostSummary& Summary;
  std::mutex Lock;
  std::atomic<bool> Stop{false};
  TPostProgress Progress;
  std::set<std::size_t> Confirmed, Missing;

  bool Ended() const { return Stop.load() || (Request.Cancelled && Request.Cancelled->load()); }
  void Fail(const TNntpFault& fault) {
    std::lock_guard guard(Lock);
    if (!Summary.Problem) {
      Summary.Problem = TProblem{fault.Message, fault.Path};
      Summary.Cause = fault.Cause;
    }
    Stop = true;
  }
  void Report() { // with Lock held
    if (Request.Progress)
      Request.Progress(Progress);
  }
};

// The pool's hooks into the post: its end, its first failure, its retries.
TPoolHooks HooksOf(TShared& shared) {
  return {[&shared] { return shared.Ended(); },
          [&shared](const TNntpFault& fault) { shared.Fail(fault); },
          [&shared] {
            std::lock_guard guard(shared.Lock);
            ++shared.Summary.Retries;
            ++shared.Progress.Retries;
            shared.Report();
          }};
}

void RunOnConnections(TShared& shared, const std::vector<std::size_t>& items, const TJob& job) {
  ::RunOnConnections(shared.Request.Settings, items, job, HooksOf(shared));
}

void PostArticles(TShared& shared, const std::vector<std::size_t>& items, const std::string& from) {
  const TPostPlan& plan = shared.Request.Plan;
  RunOnConnections(shared, items, [&](TNntpClient& client, std::size_t index) {
    const TPostArticle& article = plan.Articles[index];
    const TPostFile& file = plan.Files[article.File];
    std::vector<std::uint8_t> bytes(article.Size);
    auto opened = TReadOnlyFile::Open(file.Path);
    if (!opened || !opened->ReadExactly(static_cast<std::int64_t>(article.Offset), bytes))
      return std::optional(TNntpFault{TFaultKind::Lasting,
                                      "This file could not be read, so the post stopped", file.Path,
                                      TFaultCause::File});
    std::string messageId;
    const std::string text = ArticleText(plan, article, from, bytes, messageId);
    if (auto fault = client.Post(text))
      return fault;
    std::lock_guard guard(shared.Lock);
    const TAccepted accepted{messageId, text.size() + 3, UpdateCRC32(0, bytes)};
    if (!shared.Journal.Record(index, accepted))
      return std::optional(TNntpFault{TFaultKind::Lasting,
                                      "The post journal could not be written, so the post stopped",
                                      shared.Journal.Path(), TFaultCause::File});
    shared.Missing.erase(index);
    ++shared.Summary.Posted;
    shared.Summary.Bytes += accepted.Bytes;
    shared.Progress.Bytes += article.Size;
    ++shared.Progress.Articles;
    shared.Report();
    return std::optional<TNntpFault>();
  });
}

// Looks up each accepted article; those missing or damaged go into Missing.
void CheckArticles(TShared& shared, const std::vector<std::size_t>& items) {
  const TPostPlan& plan = shared.Request.Plan;
  const bool bodies = shared.Request.Settings.CheckBodies;
  RunOnConnections(shared, items, [&](TNntpClient& client, std::size_t index) {
    TAccepted accepted;
    {
      std::lock_guard guard(shared.Lock);
      accepted = shared.Journal.Accepted().at(index);
    }
    TLookup found = TLookup::Missing;
    bool whole = true;
    if (!bodies) {
      if (auto fault = client.Stat(accepted.MessageId, found))
        return fault;
    } else {
      std::string body;
      if (auto fault =
              client.Body(accepted.MessageId, YEncBound(plan.ArticleSize) + 4096, body, found))
        return fault;
      const auto decoded = YEncDecode(body, plan.ArticleSize);
      whole = decoded && decoded->Complete && decoded->Crc == accepted.PartCrc;
    }
    std::lock_guard guard(shared.Lock);
    if (found == TLookup::Present && whole)
      shared.Confirmed.insert(index);
    else
      shared.Missing.insert(index);
    shared.Progress.Bytes += plan.Articles[index].Size;
    ++shared.Progress.Articles;
    shared.Report();
    return std::optional<TNntpFault>();
  });
}

TNzbRelease NzbOf(const TPostPlan& plan, const std::map<std::size_t, TAccepted>& accepted,
                  const std::set<std::size_t>& missing, const std::string& from) {
  TNzbRelease release{plan.Release, from, static_cast<std::int64_t>(std::time(nullptr)),
                      plan.Groups, std::vector<TNzbFile>(plan.Files.size())};
  for (std::size_t i = 0; i < plan.Articles.size(); ++i) {
    const TPostArticle& article = plan.Articles[i];
    TNzbFile& file = release.Files[article.File];
    if (article.Part == 1)
      file.Subject = RealSubject(plan, article);
    const auto found = accepted.find(i);
    if (found != accepted.end() && !missing.contains(i))
      file.Segments.push_back({found->second.Bytes, article.Part, found->second.MessageId});
  }
  return release;
}

std::vector<std::size_t> Unposted(const TPostPlan& plan, const TPostJournal& journal) {
  std::vector<std::size_t> items;
  for (std::size_t i = 0; i < plan.Articles.size(); ++i)
    if (!journal.Accepted().contains(i))
      items.push_back(i);
  return items;
}

void Phase(TShared& shared, TPostProgress::TPhase phase, const std::vector<std::size_t>& items) {
  std::lock_guard guard(shared.Lock);
  shared.Progress.Phase = phase;
  shared.Progress.Bytes = shared.Progress.TotalBytes = 0;
  shared.Progress.Articles = 0;
  shared.Progress.TotalArticles = items.size();
  for (const std::size_t i : items)
    shared.Progress.TotalBytes += shared.Request.Plan.Articles[i].Size;
  shared.Report();
}
} // namespace

std::string JournalPathFor(const std::string& nzbPath) {
  return nzbPath + ".journal";
}

TPostSummary PostRelease(TPostRequest& request) {
  TPostSummary summary;
  TPostPlan& plan = request.Plan;
  summary.Articles = plan.Articles.size();
  summary.NzbPath = request.NzbPath;
  if (!FileExists(request.JournalPath) && FileExists(request.NzbPath) && !request.ReplaceNzb) {
    summary.Problem =
        TProblem{"An .nzb of that name is there already; nothing was posted", request.NzbPath};
    return summary;
  }
  TPostJournal journal;
  if ((summary.Problem = journal.Open(request.JournalPath, plan.Key)))
    return summary;
  summary.Resumed = journal.Resumed();
  NameOnTheWire(plan, journal.Seed());
  const std::string from =
      plan.Obfuscate ? RandomToken(8) + " <" + RandomToken(8) + "@" + RandomToken(8) + ".invalid>"
                     : plan.Poster;
  TShared shared(request, journal, summary);
  std::vector<std::size_t> items = Unposted(plan, journal);
  for (int round = 0;; ++round) {
    Phase(shared, TPostProgress::Posting, items);
    PostArticles(shared, items, from);
    if (shared.Ended())
      break;
    PauseUnlessEnded([&shared] { return shared.Ended(); }, request.Settings.CheckDelay);
    items.clear();
    for (const auto& [index, accepted] : journal.Accepted())
      if (!shared.Confirmed.contains(index))
        items.push_back(index);
    Phase(shared, TPostProgress::Checking, items);
    CheckArticles(shared, items);
    items.assign(shared.Missing.begin(), shared.Missing.end());
    if (items.empty() || shared.Ended() || round >= request.Settings.Retries)
      break;
  }
  summary.Cancelled = !summary.Problem && request.Cancelled && request.Cancelled->load();
  summary.Confirmed = shared.Confirmed.size();
  summary.Failures = summary.Articles - summary.Confirmed;
  summary.Accepted = journal.Accepted().size();
  if (journal.Accepted().empty()) {
    summary.NzbPath.clear(); // nothing is on the server: no NZB, nothing to resume
    journal.Remove();
    return summary;
  }
  const TSaveResult nzb =
      SavePostedDocuments(NzbOf(plan, journal.Accepted(), shared.Missing, from), request.NzbPath);
  if (!nzb.Saved() && !summary.Problem)
    summary.Problem = TProblem{"The .nzb could not be written", request.NzbPath};
  if (summary.Complete())
    journal.Remove();
  return summary;
}
