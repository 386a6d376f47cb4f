// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a post puts on the server: the release's files in posting order, each cut into
// articles, and how each article is named and addressed.
#include "common/Problem.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t DefaultArticleSize = 716800;

struct TPostFile {
  std::string Path;
  std::string Name;     // the real name: subjects, the NZB
  std::string WireName; // the name in the yEnc headers (random when obfuscated)
  std::uint64_t Size = 0;
  std::uint32_t Crc = 0; // the whole file's, for its last part
  bool Visible = false;  // never obfuscated (the .nfo)
};

struct TPostArticle {
  std::size_t File = 0;
  int Part = 1, Parts = 1;
  std::uint64_t Offset = 0;
  std::size_t Size = 0;
};

struct TPostPlan {
  std::string Release; // before each subject; the NZB's title
  std::string Poster;  // the From header
  std::vector<std::string> Groups;
  bool Obfuscate = false;
  std::size_t ArticleSize = DefaultArticleSize;
  std::vector<TPostFile> Files;
  std::vector<TPostArticle> Articles;
  std::string Key; // the files (names, sizes, times) and the settings: a journal's claim
                   // holds only for the same key
};

struct TPlanResult {
  TPostPlan Plan;
  std::optional<TProblem> Problem; // a file that cannot be read
};

// The files in posting order: the .nfo, the .sfv, the .m3u, the rest (the tracks, in the
// order given), the .par2 index, then its volumes.
std::vector<std::string> PostingOrder(std::vector<std::string> paths);
// An album's .nfo, by its extension in any case.
bool IsNfoPath(const std::string& path);

// The plan for the files (each read once for its checksum) in the order given.
TPlanResult PlanPost(const std::vector<std::string>& paths, const std::string& release,
                     const std::string& poster, const std::vector<std::string>& groups,
                     std::size_t articleSize, bool obfuscate);
// The wire names, random when obfuscated, drawn from the post's seed so that a resumed
// post names each file as before.
void NameOnTheWire(TPostPlan& plan, const std::string& seed);

// The subject a downloader sees for a part: "release [i/N] - "name" yEnc (p/P)".
std::string RealSubject(const TPostPlan& plan, const TPostArticle& article);
// A fresh Message-ID for an article (its host random too when the file is obfuscated).
std::string NewMessageId(const TPostPlan& plan, const TPostArticle& article);
// An article: the headers with its Message-ID and the yEnc body.
std::string ArticleText(const TPostPlan& plan, const TPostArticle& article, const std::string& from,
                        std::span<const std::uint8_t> bytes, const std::string& messageId);
// Random letters and digits, from the system's generator.
std::string RandomToken(std::size_t length);
// The files beside an album's .nfo that make its release: the .nfo, its .sfv and .m3u,
// the tracks in its folder and its PAR2 set, those that exist, in posting order.
std::vector<std::string> ReleaseFilesBeside(const std::string& nfoPath);
// The newsgroups an album's .nfo names ("alt.binaries.sounds.flac" under its "Posted to"),
// in the order it names them, each once: words of lower-case letters, digits, "+", "-"
// and "_" in three or more dotted parts below a Usenet hierarchy.
std::vector<std::string> NewsGroupsNamedIn(std::string_view nfoText);
