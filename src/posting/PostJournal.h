// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The journal of a post, beside the release: each article the server accepted, written as
// it is accepted, so that a post cut short (Cancel, a kill, a dropped connection, a power
// cut) goes on where it stopped. A line is appended whole by one write and carries its own
// checksum, so a torn last line is not believed; the worst a crash can do is forget an
// accepted article, which is then posted again under a new Message-ID.
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
  // journal of another plan (other files or settings) is a problem that names it.
  std::optional<TProblem> Open(const std::string& path, const std::string& key);
  bool Resumed() const { return WasThere; }
  // The post's seed (for its random names), kept from the first run.
  const std::string& Seed() const { return PostSeed; }
  // The accepted articles, by the article's index in the plan (the latest line wins).
  const std::map<std::size_t, TAccepted>& Accepted() const { return Records; }
  // Appends an accepted article; false when the line could not be written.
  bool Record(std::size_t article, const TAccepted& accepted);
  // The post is finished: the journal goes.
  void Remove();
  const std::string& Path() const { return JournalPath; }

private:
  void ReadLines(const std::string& text);
  int Descriptor = -1;
  bool WasThere = false;
  std::string JournalPath, PostSeed;
  std::map<std::size_t, TAccepted> Records;
};
