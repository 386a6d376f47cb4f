// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Posting a planned release over several connections at once, to one server or spread
// over several (one that fails is left, the others carry on), then checking that every
// article arrived (STAT, or BODY and its yEnc CRC), posting again what did not, and
// writing the NZB of what the server holds. Faults that a fresh connection may cure are
// retried with a growing pause; the rest stop the post in the server's own words. Each
// article goes under one Message-ID, journaled before it is sent, through every retry and
// resumed run, so that a lost answer never puts a second copy on the server.
#include "generate/NzbDocument.h"
#include "posting/NntpClient.h"
#include "posting/NzbDelivery.h"
#include "posting/PostJournal.h"
#include "posting/PostPlan.h"

#include <atomic>
#include <functional>

// A post server besides the first, with connections of its own.
struct TPostServer {
  TServerProfile Profile;
  int Connections = 4;
};

struct TPostSettings {
  TServerProfile Server; // the first post server, over Connections
  // Posted to beside the first: the articles are spread over every post server's
  // connections, and a server that fails is left while the others carry on.
  std::vector<TPostServer> MoreServers;
  // A server of another network the check asks instead of the one posted to, which always
  // holds what it accepted: found there, an article reached downloaders of other providers.
  std::optional<TServerProfile> CheckServer;
  int Connections = 4;
  int Retries = 3;          // more attempts per article, and more rounds of the check
  bool CheckBodies = false; // BODY and the CRC instead of STAT
  std::chrono::milliseconds CheckDelay{0};
  std::chrono::milliseconds Backoff{1000}; // the first pause; each next one doubles
};

struct TPostProgress {
  enum TPhase { Posting, Checking } Phase = Posting;
  std::uint64_t Bytes = 0, TotalBytes = 0;
  std::size_t Articles = 0, TotalArticles = 0;
  std::size_t Retries = 0;
  // Posting: what an earlier run of the post put on the server, counted before this run's
  // (the count goes on where it stopped; the rate is this run's).
  std::size_t EarlierArticles = 0;
  std::uint64_t EarlierBytes = 0;
  // The plan's file whose article was done last, and each file's articles done (posting:
  // with the earlier runs'; checking: this check's), by the plan's file order.
  std::size_t File = 0;
  std::vector<std::size_t> FileArticles;
  // The post servers left so far, each in a word: "Left news2.example:563: why".
  std::vector<std::string> Left;
};

struct TPostSummary {
  std::size_t Articles = 0;  // in the release
  std::size_t Posted = 0;    // by this run
  std::size_t Confirmed = 0; // found on the server by the check
  std::size_t Accepted = 0;  // taken by the server, by this run and the ones it continues
  std::size_t Retries = 0;
  std::size_t Failures = 0; // not confirmed at the end
  std::uint64_t Bytes = 0;  // posted by this run
  bool Resumed = false;
  bool Cancelled = false;
  std::string NzbPath;
  std::optional<TProblem> Problem;
  TFaultCause Cause = TFaultCause::Other;  // behind the Problem
  std::optional<TDeliveryResult> Delivery; // a complete post's copy and command
  std::string CheckedOn;         // "host:port" of the check server; empty: the post's own server
  std::vector<std::string> Left; // the post servers left for the rest of the run, in words
  std::vector<std::string> LeftServers; // the same servers as "host:port"
  std::chrono::milliseconds CheckDelay{0};
  bool Complete() const { return !Problem && !Cancelled && Failures == 0; }
};

struct TPostRequest {
  TPostPlan Plan;
  TPostSettings Settings;
  std::string JournalPath;
  std::string NzbPath;
  bool ReplaceNzb = false; // an existing .nzb of another post may be replaced
  std::function<void(const TPostProgress&)> Progress; // from the posting threads
  const std::atomic<bool>* Cancelled = nullptr;
  std::string NzbTitle; // the NZB's title; empty: the release's name
  TNzbMeta NzbMeta;
  TNzbDelivery Delivery; // once every article is confirmed
  // The .nzb at NzbPath is the user's own (a repost from it): written again only once every
  // article is confirmed, so a failed check never costs it the IDs it lists.
  bool NzbOnlyWhenComplete = false;
};

// The post, its check and its NZB; the journal is removed once every article is confirmed.
TPostSummary PostRelease(TPostRequest& request);

// The journal beside a release's NZB.
std::string JournalPathFor(const std::string& nzbPath);
