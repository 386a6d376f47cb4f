// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The journal of a post, beside the release, so that a post cut short (Cancel, a kill, a
// dropped connection, a power cut) goes on where it stopped without putting an article on
// the server twice: each article's Message-ID, written (and synced) before the article is
// sent and kept for every later try, and each article the server accepted, written as it
// is accepted. An article sent but not answered is looked up under its ID before it is
// posted again. A line is appended whole by one write and carries its own checksum, so a
// torn last line is not believed; the worst a crash can do is forget an acceptance, which
// the lookup then finds. Journals of earlier versions hold acceptances only.
#include "common/Problem.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

struct TAccepted {
  std::string MessageId;
  std::uint64_t Bytes = 0;   // the article on the wire
  std::uint32_t PartCrc = 0; // of the part's bytes, for the body check
};

class TPostJournal {
public:
  TPostJournal() = default;
  ~TPostJournal();
  TPostJournal(const TPostJournal&) = delete;
  TPostJournal& operator=(const TPostJournal&) = delete;

  // Opens the journal at path for the plan's key, creating it when there is none; a
  // journal of another plan (other files or settings) is a problem that names it. Lines
  // about articles past the plan's count are not believed.
  std::optional<TProblem> Open(const std::string& path, const std::string& key,
                               std::size_t articles);
  bool Resumed() const { return WasThere; }
  // The post's seed (for its random names), kept from the first run.
  const std::string& Seed() const { return PostSeed; }
  // The accepted articles, by the article's index in the plan (the latest line wins).
  const std::map<std::size_t, TAccepted>& Accepted() const { return Records; }
  // The articles sent, or about to be, that the server has not accepted: their
  // Message-IDs by the article's index.
  const std::map<std::size_t, std::string>& Sending() const { return SendingIds; }
  // Appends an accepted article; false when the line could not be written.
  bool Record(std::size_t article, const TAccepted& accepted);
  // Appends the Message-ID an article is about to be sent under, and syncs it; false when
  // it could not be written. The article is no longer an accepted one.
  bool RecordSending(std::size_t article, const std::string& messageId);
  // The post is finished: the journal goes.
  void Remove();
  const std::string& Path() const { return JournalPath; }

private:
  void ReadLines(const std::string& text);
  int Descriptor = -1;
  bool WasThere = false;
  std::string JournalPath, PostSeed;
  std::size_t Articles = 0;
  std::map<std::size_t, TAccepted> Records;
  std::map<std::size_t, std::string> SendingIds;
};
