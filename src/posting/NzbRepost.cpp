// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/NzbRepost.h"

#include "audio/CRC32Unit.h"
#include "common/FileUnit.h"

#include <algorithm>
#include <set>

namespace {
// A name the NZB gives that can only be a file beside it.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         std::none_of(name.begin(), name.end(), [](char c) {
           return c == '/' || c == '\\' || static_cast<unsigned char>(c) < ' ';
         });
}

// "... "name" yEnc (1/12)": the parts the file was posted in; 0 when the subject says none.
int PartsInSubject(const std::string& subject) {
  const std::size_t slash = subject.rfind('/');
  const std::size_t close = subject.find(')', slash == std::string::npos ? 0 : slash);
  if (slash == std::string::npos || close == std::string::npos || close == slash + 1)
    return 0;
  int parts = 0;
  for (std::size_t i = slash + 1; i < close; ++i) {
    if (subject[i] < '0' || subject[i] > '9' || parts > 1000000)
      return 0;
    parts = parts * 10 + (subject[i] - '0');
  }
  return parts;
}

std::optional<TProblem> Mismatch(const std::string& path) {
  return TProblem{"The file beside the NZB is not cut into the articles the NZB lists (another "
                  "file, or posted with another article size); nothing was posted",
                  path};
}

// The release's plan from the files beside the NZB, each cut as the NZB lists it.
TPlanResult PlanFromNzb(const TRepostRequest& request) {
  std::vector<std::string> paths;
  for (const TNzbFile& file : request.Release.Files) {
    const std::string name = NzbFileName(file.Subject);
    if (!IsPlainName(name))
      return {{},
              TProblem{"The NZB names a file that cannot be beside it; nothing was posted",
                       request.NzbPath}};
    paths.push_back(FolderPart(request.NzbPath) + name);
  }
  TPlanResult planned = PlanPost(paths, request.Release.Title, request.Release.Poster,
                                 request.Release.Groups, request.ArticleSize, false);
  if (planned.Problem)
    return planned;
  if (planned.Plan.Files.size() != paths.size())
    return {{}, TProblem{"The NZB names one file twice; nothing was posted", request.NzbPath}};
  std::vector<int> parts(paths.size());
  for (const TPostArticle& article : planned.Plan.Articles)
    parts[article.File] = article.Parts;
  for (std::size_t f = 0; f < paths.size(); ++f) {
    const TNzbFile& file = request.Release.Files[f];
    const int said = PartsInSubject(file.Subject);
    const bool beyond = std::any_of(file.Segments.begin(), file.Segments.end(),
                                    [&](const TNzbSegment& s) { return s.Number > parts[f]; });
    if ((said != 0 && said != parts[f]) || beyond)
      planned.Problem = Mismatch(paths[f]);
  }
  return planned;
}

// The part's CRC, as the body check compares it; 0 when the file cannot be read.
std::uint32_t PartCrc(const TPostPlan& plan, const TPostArticle& article) {
  std::vector<std::uint8_t> bytes(article.Size);
  auto file = TReadOnlyFile::Open(plan.Files[article.File].Path);
  if (!file || !file->ReadExactly(static_cast<std::int64_t>(article.Offset), bytes))
    return 0;
  return UpdateCRC32(0, bytes);
}

// A new journal that holds what the NZB says: the articles the check found as accepted,
// the missing ones as sent under their IDs and unanswered, so the post looks each up
// before it posts it under the same ID.
std::optional<TProblem> SeedJournal(const TRepostRequest& request, const TPostPlan& plan,
                                    const std::string& journalPath) {
  TPostJournal journal;
  if (auto problem = journal.Open(journalPath, plan.Key, plan.Articles.size()))
    return problem;
  if (journal.Resumed())
    return std::nullopt; // a repost (or the post) cut short: it goes on as it was
  const std::set<std::string> missing(request.MissingIds.begin(), request.MissingIds.end());
  std::size_t first = 0; // the file's first article in the plan
  for (std::size_t f = 0; f < request.Release.Files.size(); ++f) {
    for (const TNzbSegment& segment : request.Release.Files[f].Segments) {
      const std::size_t index = first + static_cast<std::size_t>(segment.Number) - 1;
      if (segment.Number < 1 || index >= plan.Articles.size())
        continue;
      const bool written = missing.contains(segment.MessageId)
                               ? journal.RecordSending(index, segment.MessageId)
                               : journal.Record(index, {segment.MessageId, segment.Bytes,
                                                        request.Settings.CheckBodies
                                                            ? PartCrc(plan, plan.Articles[index])
                                                            : 0});
      if (!written)
        return TProblem{"The post journal could not be written; nothing was posted", journalPath};
    }
    while (first < plan.Articles.size() && plan.Articles[first].File == f)
      ++first;
  }
  return std::nullopt;
}
} // namespace

std::vector<std::string> MissingIdsOf(const TNzbCheckResult& result) {
  std::vector<std::string> ids;
  for (const TNzbFileCheck& file : result.Files)
    ids.insert(ids.end(), file.MissingIds.begin(), file.MissingIds.end());
  return ids;
}

TPostSummary RepostMissing(const TRepostRequest& request) {
  TPostSummary summary;
  TPlanResult planned = PlanFromNzb(request);
  if (planned.Problem) {
    summary.Problem = std::move(planned.Problem);
    return summary;
  }
  TPostRequest post{std::move(planned.Plan),
                    request.Settings,
                    JournalPathFor(request.NzbPath),
                    request.NzbPath,
                    true,
                    request.Progress,
                    request.Cancelled,
                    request.Release.Title, // the NZB written again says what it said
                    request.Release.Meta,
                    {},
                    true};
  if ((summary.Problem = SeedJournal(request, post.Plan, post.JournalPath)))
    return summary;
  return PostRelease(post);
}
