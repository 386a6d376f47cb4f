// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/PostPlan.h"

#include "audio/CRC32Unit.h"
#include "common/FileUnit.h"
#include "common/Md5Unit.h"
#include "common/NaturalOrder.h"
#include "common/TextUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/DocumentKinds.h"
#include "generate/SfvCheckUnit.h"
#include "par2/RecoverySetUnit.h"
#include "posting/YEnc.h"

#include <algorithm>
#include <array>
#include <openssl/rand.h>
#include <set>
#include <span>

namespace {
// The name ends with the document kind's extension, in any case.
bool IsOfKind(std::string_view name, TDocumentRole role) {
  const std::string_view end = KindOf(role).Extension;
  return name.size() >= end.size() &&
         std::equal(end.begin(), end.end(), name.end() - static_cast<long>(end.size()),
                    [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

// Documents posted before the tracks in the table's order, the tracks, then the documents
// that protect them (the .par2 index before its volumes); the .nfo first of all.
int PostingRank(const std::string& path) {
  constexpr int Tracks = static_cast<int>(DocumentKindCount);
  const std::string name = FileNamePart(path);
  for (std::size_t row = 0; row < DocumentKindCount; ++row) {
    const TDocumentKind& kind = DocumentKinds[row];
    if (kind.Posted == TDocumentKind::NotPosted || !IsOfKind(name, kind.Role))
      continue;
    if (kind.Posted == TDocumentKind::BeforeTracks)
      return static_cast<int>(row);
    const bool volume = RecoverySetBase(path) + std::string(kind.Extension) != path;
    return Tracks + 1 + 2 * static_cast<int>(row) + (volume ? 1 : 0);
  }
  return Tracks;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char Digits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t b : bytes) {
    text += Digits[b >> 4];
    text += Digits[b & 15];
  }
  return text;
}

std::string JoinedGroups(const std::vector<std::string>& groups) {
  std::string text;
  for (const std::string& group : groups)
    text += (text.empty() ? "" : ",") + group;
  return text;
}
} // namespace

bool IsNfoPath(const std::string& path) {
  return PostingRank(path) == 0;
}

std::vector<std::string> PostingOrder(std::vector<std::string> paths) {
  std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
    return PostingRank(a) < PostingRank(b);
  });
  return paths;
}

std::string RandomToken(std::size_t length) {
  static constexpr char Alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::vector<std::uint8_t> random(length);
  RAND_bytes(random.data(), static_cast<int>(random.size()));
  std::string token;
  for (const std::uint8_t b : random)
    token += Alphabet[b % 36];
  return token;
}

TPlanResult PlanPost(const std::vector<std::string>& paths, const std::string& release,
                     const std::string& poster, const std::vector<std::string>& groups,
                     std::size_t articleSize, bool obfuscate) {
  TPlanResult result;
  TPostPlan& plan = result.Plan;
  plan = {release, poster, groups, obfuscate, std::max<std::size_t>(articleSize, 1), {}, {}, {}};
  std::string identity = std::to_string(plan.ArticleSize) + "\n" + JoinedGroups(groups) + "\n" +
                         (obfuscate ? "obfuscated\n" : "\n");
  std::set<std::string> identities; // each file posted once, however it was named
  for (const std::string& path : paths) {
    if (!identities.insert(FileIdentity(path)).second)
      continue;
    auto file = TReadOnlyFile::Open(path);
    const auto crc = file ? FileCRC32(path) : std::nullopt;
    if (!crc) {
      result.Problem = TProblem{"This file could not be read, so nothing was posted", path};
      return result;
    }
    TPostFile posted{
        path, FileNamePart(path),    FileNamePart(path), static_cast<std::uint64_t>(file->Size()),
        *crc, PostingRank(path) == 0};
    const std::size_t index = plan.Files.size();
    const auto parts = static_cast<int>(
        std::max<std::uint64_t>(1, (posted.Size + plan.ArticleSize - 1) / plan.ArticleSize));
    for (int part = 1; part <= parts; ++part) {
      const std::uint64_t offset = static_cast<std::uint64_t>(part - 1) * plan.ArticleSize;
      plan.Articles.push_back({index, part, parts, offset,
                               static_cast<std::size_t>(std::min<std::uint64_t>(
                                   plan.ArticleSize, posted.Size - offset))});
    }
    identity += posted.Name + "\n" + std::to_string(posted.Size) + " " + CRC32Text(posted.Crc) +
                " " + std::to_string(file->ModifiedSeconds()) + "\n";
    plan.Files.push_back(std::move(posted));
  }
  const TMd5Hash key = Md5Of(identity);
  plan.Key = Hex(key);
  return result;
}

void NameOnTheWire(TPostPlan& plan, const std::string& seed) {
  for (std::size_t i = 0; i < plan.Files.size(); ++i) {
    TPostFile& file = plan.Files[i];
    if (plan.Obfuscate && !file.Visible)
      file.WireName = Hex(Md5Of(seed + "/" + std::to_string(i))).substr(0, 24);
    else
      file.WireName = file.Name;
  }
}

std::string RealSubject(const TPostPlan& plan, const TPostArticle& article) {
  return plan.Release + " [" + std::to_string(article.File + 1) + "/" +
         std::to_string(plan.Files.size()) + "] - \"" + plan.Files[article.File].Name +
         "\" yEnc (" + std::to_string(article.Part) + "/" + std::to_string(article.Parts) + ")";
}

std::string NewMessageId(const TPostPlan& plan, const TPostArticle& article) {
  const bool hidden = plan.Obfuscate && !plan.Files[article.File].Visible;
  return "<" + RandomToken(28) + "@" + (hidden ? RandomToken(10) : "tamberlon") + ">";
}

std::string ArticleText(const TPostPlan& plan, const TPostArticle& article, const std::string& from,
                        std::span<const std::uint8_t> bytes, const std::string& messageId) {
  const TPostFile& file = plan.Files[article.File];
  const bool hidden = plan.Obfuscate && !file.Visible;
  const std::string subject = hidden ? RandomToken(32) : RealSubject(plan, article);
  TYEncPart part{
      OnOneLine(file.WireName),     file.Size, article.Part, article.Parts, article.Offset + 1,
      article.Offset + article.Size};
  const bool last = article.Part == article.Parts;
  return "From: " + OnOneLine(from) + "\r\nNewsgroups: " + OnOneLine(JoinedGroups(plan.Groups)) +
         "\r\nSubject: " + OnOneLine(subject) + "\r\nMessage-ID: " + OnOneLine(messageId) +
         "\r\n\r\n" + YEncArticleBody(part, bytes, last ? std::optional(file.Crc) : std::nullopt);
}

std::vector<std::string> ReleaseFilesBeside(const std::string& nfoPath) {
  // Each file once, however its paths are spelt ("set.sfv" beside the .nfo and "./set.sfv"
  // as the .sfv lists it were two files, and posted twice).
  std::vector<std::string> files;
  std::set<std::string> identities;
  const auto add = [&](const std::string& path) {
    if (identities.insert(FileIdentity(path)).second)
      files.push_back(path);
  };
  add(nfoPath);
  for (const TDocumentKind& kind : DocumentKinds)
    if (const std::string path = CompanionPath(nfoPath, kind.Extension);
        kind.Posted == TDocumentKind::BeforeTracks && kind.Role != TDocumentRole::Nfo &&
        IsPlainFile(path))
      add(path);
  const std::string folder = FolderPart(nfoPath);
  const auto entries = ReadFolder(folder.empty() ? "." : folder);
  std::vector<std::string> tracks = entries
                                        ? TracksInFolder(folder.empty() ? "." : folder, *entries)
                                        : std::vector<std::string>();
  SortNaturally(tracks);
  for (const std::string& track : tracks)
    add(track);
  // What the release's lists name besides: the album's other files (a cover, the rip log)
  // and tracks in folders below (CD1/).
  const std::string sfv = CompanionPath(nfoPath, KindOf(TDocumentRole::Sfv).Extension);
  const std::string index = CompanionPath(nfoPath, KindOf(TDocumentRole::Par2).Extension);
  std::vector<std::string> listed = KindOf(TDocumentRole::Sfv).NamesListed(sfv);
  for (const std::string& name : KindOf(TDocumentRole::Par2).NamesListed(index))
    listed.push_back(name);
  for (const std::string& name : listed) {
    bool unsafe = false;
    const std::string path = (folder.empty() ? "./" : folder) + name; // as the tracks are named
    if (FileInsideFolder(name, folder, unsafe) && IsPlainFile(path) && !IsNfoPath(path) &&
        RecoverySetBase(path) != RecoverySetBase(index))
      add(path);
  }
  std::vector<std::string> recovery =
      RecoverySetFiles(CompanionPath(nfoPath, KindOf(TDocumentRole::Par2).Extension));
  SortNaturally(recovery);
  for (const std::string& path : recovery)
    add(path);
  return PostingOrder(files);
}

namespace {
bool IsGroupWord(std::string_view word) {
  static constexpr std::string_view Hierarchies[] = {
      "alt", "comp", "misc", "news", "rec", "sci", "soc", "talk", "humanities", "free", "biz"};
  const std::string_view top = word.substr(0, word.find('.'));
  if (std::find(std::begin(Hierarchies), std::end(Hierarchies), top) == std::end(Hierarchies) ||
      std::count(word.begin(), word.end(), '.') < 2 || word.back() == '.' ||
      word.find("..") != std::string_view::npos)
    return false;
  return std::all_of(word.begin(), word.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' ||
           c == '_';
  });
}
} // namespace

std::vector<std::string> NewsGroupsNamedIn(std::string_view nfoText) {
  std::vector<std::string> groups;
  constexpr std::string_view Between = " \t\r\n,;:()[]<>\"'";
  for (std::size_t at = nfoText.find_first_not_of(Between); at != std::string_view::npos;) {
    const std::size_t end = std::min(nfoText.find_first_of(Between, at), nfoText.size());
    std::string_view word = nfoText.substr(at, end - at);
    while (!word.empty() && (word.back() == '.' || word.back() == '!'))
      word.remove_suffix(1); // a sentence's end
    if (IsGroupWord(word) && std::find(groups.begin(), groups.end(), word) == groups.end())
      groups.emplace_back(word);
    at = nfoText.find_first_not_of(Between, end);
  }
  return groups;
}
