// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The articles an NZB check found missing, posted again from the release's files beside
// the NZB: each under the Message-ID the NZB gives it, so that a downloader's copy of the
// NZB finds it, looked up first and posted once (the post's journal keeps that through a
// cut). A server that still remembers an ID it lost gets the article under a fresh one,
// and the NZB is written again with what the server holds.
#include "posting/NzbCheck.h"

struct TRepostRequest {
  std::string NzbPath;
  TNzbRelease Release;                 // as read from the NZB
  std::vector<std::string> MissingIds; // the check's missing and damaged articles
  TPostSettings Settings;
  std::size_t ArticleSize = DefaultArticleSize; // as the files were cut when posted
  std::function<void(const TPostProgress&)> Progress;
  const std::atomic<bool>* Cancelled = nullptr;
};

// Posts the missing articles again and checks the release; the summary counts as a
// resumed post's does (the articles already there as an earlier run's).
TPostSummary RepostMissing(const TRepostRequest& request);

// The Message-IDs a check found missing or damaged, every file's.
std::vector<std::string> MissingIdsOf(const TNzbCheckResult& result);
