// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An NZB's articles looked up on the server, hours or days after the post: each with STAT,
// or fetched with BODY and its yEnc part checked against its own CRC. Missing ones are
// listed, so a poster sees whether the post survived and what to post again.
#include "generate/NzbDocument.h"
#include "posting/Poster.h"

#include <atomic>
#include <functional>

struct TNzbFileCheck {
  std::string Name; // the quoted name of the subject, else the subject
  std::size_t Segments = 0, Present = 0, Missing = 0, Damaged = 0;
  std::vector<std::string> MissingIds; // missing and damaged, by Message-ID
  bool Done() const { return Present + Missing + Damaged == Segments; }
};

struct TNzbCheckRequest {
  TNzbRelease Release;
  TPostSettings Settings; // the server, connections, retries, and STAT or BODY
  std::function<void(std::size_t file, const TNzbFileCheck&)> FileChecked; // worker threads
  std::function<void(std::size_t done, std::size_t total)> Progress;       // articles
  const std::atomic<bool>* Cancelled = nullptr;
};

struct TNzbCheckResult {
  std::vector<TNzbFileCheck> Files;
  std::optional<TProblem> Problem; // the server's words when the check could not go on
  bool Cancelled = false;
};

TNzbCheckResult CheckNzbArticles(const TNzbCheckRequest& request);

// The file's name as a subject carries it ("... "name" yEnc (1/5)"), else the subject.
std::string NzbFileName(const std::string& subject);
// A file's verdict: OK (every article on the server), MISSING (none), INCOMPLETE, or NOT
// CHECKED when the check stopped before it.
std::string_view NzbFileWord(const TNzbFileCheck& file);
// "12 files, 480 articles: 478 on the server, 2 missing" and the like.
std::string NzbCheckSummary(const TNzbCheckResult& result);
