// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Posting from the command line: the post command, and the post that nfo --post runs
// after its save.
#include "cli/CliCommand.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

struct TPostProgress;
struct TPostSetup;
struct TPostSummary;
struct TPreferences;
using TPostProgressHook = std::function<void(const TPostProgress&)>;

// The news server's options, which check FILE.nzb takes too; the post options (those and
// the post's own), which nfo --post takes too.
extern const std::vector<TCliOption> ServerOptionList;
extern const std::vector<TCliOption> PostOptionList;

// The server's settings from the options, else [Server], its warnings said and its
// password had (and, for a post, the check server's from --check-... or [CheckServer]);
// false (the reason told) for bad usage.
bool ReadServer(const TCliArguments& arguments, const TPreferences& preferences,
                TCliContext& context, TPostSetup& setup, bool checkServer = false);

// Posts the release of the files (or of the one .nfo given); the exit status.
int PostFiles(const std::vector<std::string>& operands, const TCliArguments& arguments,
              TCliContext& context);

// Runs a post (a release's, or an NZB's missing articles) with its progress on a terminal
// and Ctrl+C pausing it, then prints its summary; the exit status.
int PostWithProgress(
    const std::function<TPostSummary(TPostProgressHook, const std::atomic<bool>*)>& post,
    const TCliArguments& arguments, TCliContext& context);

TCliCommand PostCommand();
