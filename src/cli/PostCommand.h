// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Posting from the command line: the post command, and the post that nfo --post runs
// after its save.
#include "cli/CliCommand.h"

#include "common/Problem.h"
#include "posting/Poster.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TPostSetup;
struct TPreferences;
using TPostProgressHook = std::function<void(const TPostProgress&)>;

// The news server's options, which check FILE.nzb takes too; the post options (those and
// the post's own), which nfo --post takes too.
extern const std::vector<TCliOption> ServerOptionList;
extern const std::vector<TCliOption> PostOptionList;

// The server's settings from the options, else [Server], its warnings said and its
// password had (and, for a post, the list's further servers, [Server2], ..., unless
// --server names one, and the check server's from --check-... or [CheckServer]); false
// (the reason told) for bad usage.
bool ReadServer(const TCliArguments& arguments, const TPreferences& preferences,
                TCliContext& context, TPostSetup& setup, bool checkServer = false);

// The newsgroups: the options', else the ones the album's .nfo (the one operand) names,
// else the window's last (another album's, so said); cross-posted to at most the limit
// (the first ones, as named); false (with the reason told) for bad usage.
bool ReadGroups(const std::vector<std::string>& operands, const TCliArguments& arguments,
                const TPreferences& preferences, int limit, TCliContext& context,
                std::vector<std::string>& groups);
// The post of the release's files (each read for its checksum) with its NZB at --nzb or
// beside the first; nothing, with the problem, when a file cannot be read.
std::optional<TPostRequest> PlanAlbumPost(const std::vector<std::string>& files,
                                          const std::vector<std::string>& groups,
                                          const TCliArguments& arguments,
                                          const TPreferences& preferences, const TPostSetup& setup,
                                          TProblem& problem);
// The NZB's <head> and where it goes once posted; false (the reason told) for bad usage.
bool ReadNzbHead(const TCliArguments& arguments, const TPostSetup& setup, TCliContext& context,
                 TPostRequest& request);

// Progress on a terminal: the phase, bytes, rate, time left and articles.
class TProgressLine {
public:
  explicit TProgressLine(TCliContext& context) : Context(context) {}
  void operator()(const TPostProgress& progress);
  void End();
  std::size_t LeftTold = 0; // the servers left said so far

private:
  TCliContext& Context;
  TPostProgress::TPhase Phase = TPostProgress::Posting;
  TClock::time_point Start = TClock::now(), Shown{};
};

// Posts every saved album below the shelf (the one operand) with --recursive; the exit
// status.
int PostShelfOf(const TCliArguments& arguments, TCliContext& context);

// Posts the release of the files (or of the one .nfo given); the exit status.
int PostFiles(const std::vector<std::string>& operands, const TCliArguments& arguments,
              TCliContext& context);

// Runs a post (a release's, or an NZB's missing articles) with its progress on a terminal
// and Ctrl+C pausing it, then prints its summary; the exit status.
int PostWithProgress(
    const std::function<TPostSummary(TPostProgressHook, const std::atomic<bool>*)>& post,
    const TCliArguments& arguments, TCliContext& context);

TCliCommand PostCommand();
