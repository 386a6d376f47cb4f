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
using TJob = TServerJob;

// An article whose last post under its Message-ID got no answer: a dropped connection, a
// timeout, a kill. It may be on the server; only this run's own posts count as posted.
enum class TUnanswered { ThisRun, EarlierRun };

// What the posting threads share.
struct TShared {
  TShared(TPostRequest& request, TPostJournal& journal, TPostSummary& summary)
      : Request(request), Journal(journal), Summary(summary) {
    Servers.push_back({request.Settings.Server, request.Settings.Connections});
    Servers.insert(Servers.end(), request.Settings.MoreServers.begin(),
                   request.Settings.MoreServers.end());
    Left.assign(Servers.size(), false);
  }
  TPostRequest& Request;
  TPostJournal& Journal;
  TPostSummary& Summary;
  std::vector<TPostServer> Servers;           // every post server, the first one first
  std::vector<bool> Left;                     // by Servers' index, for the rest of the run
  std::map<std::size_t, std::size_t> TakenBy; // article: the server that took it in this run
  std::mutex Lock;
  std::atomic<bool> Stop{false};
  TPostProgress Progress;
  std::set<std::size_t> Confirmed, Missing;
  std::set<std::size_t> Damaged; // held by the server under their ID, with other bytes
  std::map<std::size_t, TUnanswered> Unanswered;

  bool Ended() const { return Stop.load() || (Request.Cancelled && Request.Cancelled->load()); }
  void Fail(const TNntpFault& fault) {
    std::lock_guard guard(Lock);
    FailHeld(fault);
  }
  void FailHeld(const TNntpFault& fault) { // with Lock held
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
  void ArticleDone(std::size_t index) { // with Lock held
    const TPostArticle& article = Request.Plan.Articles[index];
    Progress.Bytes += article.Size;
    ++Progress.Articles;
    Progress.File = article.File;
    ++Progress.FileArticles[article.File];
    Report();
  }
  TNntpFault JournalFault() const {
    return {TFaultKind::Lasting, "The post journal could not be written, so the post stopped",
            Journal.Path(), TFaultCause::File};
  }
};

std::function<void()> RetriedHook(TShared& shared) {
  return [&shared] {
    std::lock_guard guard(shared.Lock);
    ++shared.Summary.Retries;
    ++shared.Progress.Retries;
    shared.Report();
  };
}

// A post server's fault that trying again did not cure: the server is left, with a word,
// while another is still there; the last one's fault, or one of our own files, ends the run.
bool LeaveServer(TShared& shared, std::size_t server, const TNntpFault& fault) {
  std::lock_guard guard(shared.Lock);
  bool others = false;
  for (std::size_t i = 0; i < shared.Servers.size(); ++i)
    others = others || (i != server && !shared.Left[i]);
  if (fault.Cause == TFaultCause::File || !others) {
    shared.FailHeld(fault);
    return false;
  }
  if (!shared.Left[server]) {
    shared.Left[server] = true;
    shared.Summary.Left.push_back("Left " + fault.Message);
    shared.Summary.LeftServers.push_back(shared.Servers[server].Profile.Endpoint.Name());
    shared.Progress.Left = shared.Summary.Left;
    shared.Report();
  }
  return true;
}

// Runs the job on the post servers not left, an article best on the server that took it.
void RunOnPostServers(TShared& shared, const std::vector<std::size_t>& items, const TJob& job) {
  std::vector<TPoolServer> servers;
  {
    std::lock_guard guard(shared.Lock);
    for (std::size_t i = 0; i < shared.Servers.size(); ++i)
      if (!shared.Left[i])
        servers.push_back({i, &shared.Servers[i].Profile, shared.Servers[i].Connections});
  }
  const auto prefer = [&shared](std::size_t item) -> std::optional<std::size_t> {
    std::lock_guard guard(shared.Lock);
    const auto taken = shared.TakenBy.find(item);
    return taken == shared.TakenBy.end() ? std::nullopt : std::optional(taken->second);
  };
  RunOnServers(servers, shared.Request.Settings, items, job,
               {[&shared] { return shared.Ended(); },
                [&shared](std::size_t server, const TNntpFault& fault) {
                  return LeaveServer(shared, server, fault);
                },
                RetriedHook(shared), prefer});
}

// The check's connections: to the check server when there is one, else to the post servers.
void RunOnCheckConnections(TShared& shared, const std::vector<std::size_t>& items,
                           const TJob& job) {
  TPostSettings settings = shared.Request.Settings;
  if (!settings.CheckServer)
    return RunOnPostServers(shared, items, job);
  settings.Server = *settings.CheckServer;
  RunOnConnections(settings, items,
                   [&job](TNntpClient& client, std::size_t item) { return job(client, 0, item); },
                   {[&shared] { return shared.Ended(); },
                    [&shared](const TNntpFault& fault) { shared.Fail(fault); },
                    RetriedHook(shared)});
}

// A fresh Message-ID for the article, journaled before it is used (with Lock held).
std::optional<TNntpFault> DrawMessageId(TShared& shared, std::size_t index, std::string& id) {
  id = NewMessageId(shared.Request.Plan, shared.Request.Plan.Articles[index]);
  shared.Damaged.erase(index);
  shared.Unanswered.erase(index);
  if (!shared.Journal.RecordSending(index, id))
    return shared.JournalFault();
  return std::nullopt;
}

// The article's Message-ID: the one it was sent under before, in this run or an earlier
// one, unless the server holds other bytes under it.
std::optional<TNntpFault> MessageIdOf(TShared& shared, std::size_t index, std::string& id,
                                      bool& unanswered) {
  std::lock_guard guard(shared.Lock);
  const TPostJournal& journal = shared.Journal;
  unanswered = shared.Unanswered.contains(index);
  if (!shared.Damaged.contains(index)) {
    if (const auto sent = journal.Sending().find(index); sent != journal.Sending().end()) {
      id = sent->second;
      return std::nullopt;
    }
    if (const auto taken = journal.Accepted().find(index); taken != journal.Accepted().end()) {
      id = taken->second.MessageId;
      return std::nullopt;
    }
  }
  unanswered = false;
  return DrawMessageId(shared, index, id);
}

// The server holds the article: a 240 to this run's post (answered), or found under its ID.
std::optional<TNntpFault> Accept(TShared& shared, std::size_t index, const TAccepted& accepted,
                                 bool answered, std::size_t server) {
  std::lock_guard guard(shared.Lock);
  const auto unanswered = shared.Unanswered.find(index);
  const bool postedHere = answered || (unanswered != shared.Unanswered.end() &&
                                       unanswered->second == TUnanswered::ThisRun);
  if (!shared.Journal.Record(index, accepted))
    return shared.JournalFault();
  if (unanswered != shared.Unanswered.end())
    shared.Unanswered.erase(unanswered);
  shared.Missing.erase(index);
  shared.TakenBy[index] = server;
  if (postedHere) {
    ++shared.Summary.Posted;
    shared.Summary.Bytes += accepted.Bytes;
  }
  shared.ArticleDone(index);
  return std::nullopt;
}

// A refusal as a duplicate: the server holds the ID (an earlier post of ours that landed),
// or only remembers it (cancelled, expired, lost), and then a fresh ID is tried. A copy
// whose answer was lost may still be being stored, refused before a lookup finds it: the
// lookup is tried again after the pauses of a retry before the ID is given up.
std::optional<TNntpFault> Duplicate(TShared& shared, TNntpClient& client, std::size_t server,
                                    std::size_t index, const TAccepted& accepted,
                                    TNntpFault refusal) {
  constexpr int Lookups = 3;
  for (int lookup = 1;; ++lookup) {
    TLookup found = TLookup::Missing;
    if (auto fault = client.Stat(accepted.MessageId, found))
      return fault;
    if (found == TLookup::Present)
      return Accept(shared, index, accepted, false, server);
    if (lookup == Lookups || shared.Ended())
      break;
    PauseUnlessEnded([&shared] { return shared.Ended(); },
                     shared.Request.Settings.Backoff * (1 << (lookup - 1)));
  }
  std::lock_guard guard(shared.Lock);
  std::string fresh;
  if (auto fault = DrawMessageId(shared, index, fresh))
    return fault;
  refusal.Kind = TFaultKind::Article; // tried again, under the fresh ID
  return refusal;
}

// One article onto the server once: an article whose answer was lost is looked up before
// it is posted again under the same ID, also on another server than the one that lost the
// answer (left since): servers peer by ID, so one of them holding it is the whole network.
std::optional<TNntpFault> PostOnce(TShared& shared, TNntpClient& client, std::size_t server,
                                   std::size_t index, const std::string& from) {
  const TPostPlan& plan = shared.Request.Plan;
  const TPostArticle& article = plan.Articles[index];
  const TPostFile& file = plan.Files[article.File];
  std::vector<std::uint8_t> bytes(article.Size);
  auto opened = TReadOnlyFile::Open(file.Path);
  if (!opened || !opened->ReadExactly(static_cast<std::int64_t>(article.Offset), bytes))
    return TNntpFault{TFaultKind::Lasting, "This file could not be read, so the post stopped",
                      file.Path, TFaultCause::File};
  std::string messageId;
  bool unanswered = false;
  if (auto fault = MessageIdOf(shared, index, messageId, unanswered))
    return fault;
  const std::string text = ArticleText(plan, article, from, bytes, messageId);
  const TAccepted accepted{messageId, text.size() + 3, UpdateCRC32(0, bytes)};
  if (unanswered) {
    TLookup found = TLookup::Missing;
    if (auto fault = client.Stat(messageId, found))
      return fault;
    if (found == TLookup::Present)
      return Accept(shared, index, accepted, false, server);
  }
  auto fault = client.Post(text);
  if (!fault)
    return Accept(shared, index, accepted, true, server);
  if (fault->Kind == TFaultKind::Duplicate)
    return Duplicate(shared, client, server, index, accepted, *fault);
  if (fault->Kind == TFaultKind::Transient) {
    std::lock_guard guard(shared.Lock);
    shared.Unanswered.try_emplace(index, TUnanswered::ThisRun); // an earlier run's stays
  }
  return fault;
}

void PostArticles(TShared& shared, const std::vector<std::size_t>& items, const std::string& from) {
  RunOnPostServers(shared, items, [&](TNntpClient& client, std::size_t server, std::size_t index) {
    return PostOnce(shared, client, server, index, from);
  });
}

// Looks up each accepted article; those missing or damaged go into Missing.
void CheckArticles(TShared& shared, const std::vector<std::size_t>& items) {
  const TPostPlan& plan = shared.Request.Plan;
  const bool bodies = shared.Request.Settings.CheckBodies;
  RunOnCheckConnections(shared, items, [&](TNntpClient& client, std::size_t, std::size_t index) {
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
    if (found == TLookup::Present && !whole)
      shared.Damaged.insert(index); // posted again under a fresh ID: the old one is taken
    shared.ArticleDone(index);
    return std::optional<TNntpFault>();
  });
}

TNzbRelease NzbOf(const TPostRequest& request, const std::map<std::size_t, TAccepted>& accepted,
                  const std::set<std::size_t>& missing, const std::string& from) {
  const TPostPlan& plan = request.Plan;
  TNzbRelease release{request.NzbTitle.empty() ? plan.Release : request.NzbTitle,
                      from,
                      static_cast<std::int64_t>(std::time(nullptr)),
                      plan.Groups,
                      std::vector<TNzbFile>(plan.Files.size()),
                      request.NzbMeta};
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

// The accepted articles the check has yet to find. One that a post server left since took
// is taken at its word: posted elsewhere it would be a second copy, and without a check
// server only the server that took it can tell.
std::vector<std::size_t> Unchecked(TShared& shared) {
  std::vector<std::size_t> items;
  for (const auto& [index, accepted] : shared.Journal.Accepted()) {
    const auto taken = shared.TakenBy.find(index);
    if (!shared.Request.Settings.CheckServer && taken != shared.TakenBy.end() &&
        shared.Left[taken->second])
      shared.Confirmed.insert(index);
    if (!shared.Confirmed.contains(index))
      items.push_back(index);
  }
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
  shared.Progress.EarlierArticles = 0;
  shared.Progress.EarlierBytes = 0;
  shared.Progress.FileArticles.assign(shared.Request.Plan.Files.size(), 0);
  if (phase == TPostProgress::Posting)
    for (const auto& [index, accepted] : shared.Journal.Accepted()) {
      ++shared.Progress.EarlierArticles;
      shared.Progress.EarlierBytes += shared.Request.Plan.Articles[index].Size;
      ++shared.Progress.FileArticles[shared.Request.Plan.Articles[index].File];
    }
  shared.Report();
}
} // namespace

std::string JournalPathFor(const std::string& nzbPath) {
  return nzbPath + ".journal";
}

namespace {
// Posts the items, waits the propagation delay, checks what was posted and posts again
// what is missing, round after round until all is found or the retries are spent.
void PostAndCheckInRounds(TShared& shared, std::vector<std::size_t> items,
                          const std::string& from) {
  const TPostRequest& request = shared.Request;
  for (int round = 0;; ++round) {
    Phase(shared, TPostProgress::Posting, items);
    PostArticles(shared, items, from);
    if (shared.Ended())
      break;
    PauseUnlessEnded([&shared] { return shared.Ended(); }, request.Settings.CheckDelay);
    items = Unchecked(shared);
    Phase(shared, TPostProgress::Checking, items);
    CheckArticles(shared, items);
    items.assign(shared.Missing.begin(), shared.Missing.end());
    if (items.empty() || shared.Ended() || round >= request.Settings.Retries)
      break;
  }
}

// The NZB of what the server holds, once the post ends; the journal goes once it is
// complete, and the NZB is handed on.
void FinishWithNzb(TPostRequest& request, TPostJournal& journal, TShared& shared,
                   const std::string& from) {
  TPostSummary& summary = shared.Summary;
  // What a check server lacks is still on the post's own server, where downloaders of its
  // network find it; what the check found with other bytes is not the article.
  const std::set<std::size_t>& left =
      request.Settings.CheckServer ? shared.Damaged : shared.Missing;
  if (request.NzbOnlyWhenComplete && !summary.Complete())
    return; // the journal stays, for the next run to go on from
  const TSaveResult nzb =
      SavePostedDocuments(NzbOf(request, journal.Accepted(), left, from), request.NzbPath);
  if (!nzb.Saved() && !summary.Problem)
    summary.Problem = TProblem{"The .nzb could not be written", request.NzbPath};
  if (!summary.Complete())
    return;
  journal.Remove();
  if (request.Delivery.Wanted()) // never for a post the server does not wholly hold
    summary.Delivery = DeliverNzb(request.NzbPath, request.Delivery);
}
} // namespace

TPostSummary PostRelease(TPostRequest& request) {
  TPostSummary summary;
  TPostPlan& plan = request.Plan;
  summary.Articles = plan.Articles.size();
  summary.NzbPath = request.NzbPath;
  summary.CheckDelay = request.Settings.CheckDelay;
  if (const auto& check = request.Settings.CheckServer)
    summary.CheckedOn = check->Endpoint.Name();
  if (!FileExists(request.JournalPath) && FileExists(request.NzbPath) && !request.ReplaceNzb) {
    summary.Problem =
        TProblem{"An .nzb of that name is there already; nothing was posted", request.NzbPath};
    return summary;
  }
  TPostJournal journal;
  if ((summary.Problem = journal.Open(request.JournalPath, plan.Key, plan.Articles.size())))
    return summary;
  summary.Resumed = journal.Resumed();
  NameOnTheWire(plan, journal.Seed());
  const std::string from =
      plan.Obfuscate ? RandomToken(8) + " <" + RandomToken(8) + "@" + RandomToken(8) + ".invalid>"
                     : plan.Poster;
  TShared shared(request, journal, summary);
  for (const auto& [index, id] : journal.Sending())
    shared.Unanswered.emplace(index, TUnanswered::EarlierRun);
  PostAndCheckInRounds(shared, Unposted(plan, journal), from);
  summary.Cancelled = !summary.Problem && request.Cancelled && request.Cancelled->load();
  summary.Confirmed = shared.Confirmed.size();
  summary.Failures = summary.Articles - summary.Confirmed;
  summary.Accepted = journal.Accepted().size();
  if (journal.Accepted().empty()) {
    summary.NzbPath.clear(); // nothing is on the server: no NZB, nothing to resume
    journal.Remove();
    return summary;
  }
  FinishWithNzb(request, journal, shared, from);
  return summary;
}
