// SPDX-License-Identifier: GPL-3.0-or-later
// tamberlon-cli post --recursive SHELF: every saved album below the shelf posted in turn,
// a line for each as it ends and the counts at the end.
#include "cli/InterruptPauses.h"
#include "cli/PostCommand.h"
#include "common/AppVersionUnit.h"
#include "common/PreferencesUnit.h"
#include "platform/ConsoleHost.h"
#include "posting/PostSetup.h"
#include "posting/PostShelf.h"

#include <charconv>

namespace {
// False (said why) for options that name one release's NZB, or a limit that is no number.
bool ShelfUsage(const TCliArguments& arguments, TCliContext& context, std::size_t& maxAlbums) {
  if (arguments.Operands.size() != 1) {
    context.Err << "tamberlon-cli: post --recursive takes one folder, the shelf\n";
    return false;
  }
  for (const char* option : {"--nzb", "--nzb-title", "--json"})
    if (arguments.Has(option) || arguments.Value(option)) {
      context.Err << "tamberlon-cli: post --recursive writes each album's NZB under its own "
                     "name and a line for each; "
                  << option << " does not apply\n";
      return false;
    }
  if (const std::string* limit = arguments.Value("--max-albums")) {
    const auto [end, error] =
        std::from_chars(limit->data(), limit->data() + limit->size(), maxAlbums);
    if (error != std::errc() || end != limit->data() + limit->size() || maxAlbums == 0) {
      context.Err << "tamberlon-cli: --max-albums takes a number of albums from 1\n";
      return false;
    }
  }
  return true;
}

const char* OutcomeWord(TShelfOutcome outcome) {
  switch (outcome) {
  case TShelfOutcome::Posted:
    return "posted";
  case TShelfOutcome::Failed:
    return "failed";
  case TShelfOutcome::Skipped:
    return "skipped";
  case TShelfOutcome::Paused:
    return "paused";
  }
  return "";
}

void TellTotals(const TShelfTotals& totals, TCliContext& context) {
  const std::size_t paused = totals.Paused ? 1 : 0; // the album under way
  const std::size_t albums = totals.Posted + totals.Failed + totals.Skipped + paused;
  context.Out << albums << (albums == 1 ? " album: " : " albums: ") << totals.Posted << " posted, "
              << totals.Failed << " failed, " << totals.Skipped << " skipped"
              << (paused ? ", 1 paused" : "") << "\n";
  if (totals.Paused)
    context.Err << "tamberlon-cli: posting paused; post the shelf again to continue\n";
  if (totals.Stopped)
    context.Err << "tamberlon-cli: the shelf stopped: the server could not be reached or "
                   "refused the account; the albums after wait\n";
  if (totals.Limited)
    context.Err << "tamberlon-cli: --max-albums reached; the albums after wait for the next run\n";
}
// What an album of the shelf is posted with: the same options, server and NZB head.
struct TShelfPlanning {
  const TCliArguments& Arguments;
  const TPreferences& Preferences;
  const TPostSetup& Setup;
  const TPostRequest& Head;
  TCliContext& Context;
};

std::optional<TPostRequest> PlanShelfAlbum(const TShelfPlanning& planning, const std::string& nfo,
                                           TProblem& problem) {
  std::vector<std::string> groups;
  if (!ReadGroups({nfo}, planning.Arguments, planning.Preferences, planning.Setup.MaxGroups,
                  planning.Context, groups)) {
    problem = {"no newsgroup to post to", nfo};
    return std::nullopt;
  }
  auto request = PlanAlbumPost(ReleaseFilesBeside(nfo), groups, planning.Arguments,
                               planning.Preferences, planning.Setup, problem);
  if (request) {
    request->NzbMeta = planning.Head.NzbMeta;
    request->Delivery = planning.Head.Delivery;
  }
  return request;
}

// "posted: A/album.nfo (60 articles, 60 posted by this run; A/album.nzb)".
void TellAlbum(TCliContext& context, const std::string& nfo, TShelfOutcome outcome,
               const TPostSummary* summary, const std::string& why) {
  context.Out << OutcomeWord(outcome) << ": " << PrintableName(nfo);
  if (summary && outcome == TShelfOutcome::Posted)
    context.Out << " (" << CountOf(summary->Articles, "article") << ", " << summary->Posted
                << " posted by this run; " << PrintableName(summary->NzbPath) << ")";
  if (!why.empty())
    context.Out << ": " << PrintableText(why);
  context.Out << "\n" << std::flush;
}
} // namespace

int PostShelfOf(const TCliArguments& arguments, TCliContext& context) {
  std::size_t maxAlbums = 0;
  if (!ShelfUsage(arguments, context, maxAlbums))
    return 2;
  const TPreferences preferences = ReadPreferences(GetProgramFolder() + PreferencesFileName);
  TPostSetup setup;
  TPostRequest head; // the NZB's head is the same for each album: its password read once
  if (!ReadServer(arguments, preferences, context, setup, true) ||
      !ReadNzbHead(arguments, setup, context, head))
    return 2;
  TProgressLine line(context);
  std::atomic<bool> cancelled{false};
  TShelfHooks hooks;
  hooks.MaxAlbums = maxAlbums;
  hooks.Cancelled = &cancelled;
  if (context.ShowProgress)
    hooks.Progress = [&line](const TPostProgress& step) {
      line(step);
    };
  hooks.NzbPathOf = [&setup](const std::string& nfo) {
    return DefaultNzbPath({nfo}, setup.NzbCompressed);
  };
  hooks.Prepare = [&](const std::string& nfo, TProblem& problem) {
    const TShelfPlanning planning{arguments, preferences, setup, head, context};
    return PlanShelfAlbum(planning, nfo, problem);
  };
  hooks.Ended = [&](const std::string& nfo, TShelfOutcome outcome, const TPostSummary* summary,
                    const std::string& why) {
    if (hooks.Progress)
      line.End();
    if (summary) { // a server left is left for the albums after it, and said once
      for (std::size_t i = line.LeftTold; i < summary->Left.size(); ++i)
        context.Err << ConsoleLine("", summary->Left[i]);
      LeaveServers(setup, summary->LeftServers);
    }
    line.LeftTold = 0;
    TellAlbum(context, nfo, outcome, summary, why);
  };
  TShelfTotals totals;
  bool interrupted = false;
  {
    const TInterruptPauses pauses(cancelled);
    totals = PostShelf(arguments.Operands.front(), hooks);
    interrupted = pauses.Interrupted();
  }
  if (totals.BadShelf)
    context.Err << ConsoleLine(arguments.Operands.front(), "not a folder that can be read");
  TellTotals(totals, context);
  context.StatusFinal = true;
  if (interrupted && totals.Paused)
    return 130; // the shell's status for Ctrl+C
  return totals.Failed > 0 || totals.Paused || totals.Stopped || totals.BadShelf ? 1 : 0;
}
