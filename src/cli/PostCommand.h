// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Posting from the command line: the post command, and the post that nfo --post runs
// after its save.
#include "cli/CommandLine.h"

#include <string>
#include <vector>

struct TPostSetup;
struct TPreferences;

// The news server's options, which check FILE.nzb takes too; the post options (those and
// the post's own), which nfo --post takes too.
extern const std::vector<TCliOption> ServerOptionList;
extern const std::vector<TCliOption> PostOptionList;

// The server's settings from the options, else [Server], its warnings said and its
// password had; false (the reason told) for bad usage.
bool ReadServer(const TCliArguments& arguments, const TPreferences& preferences,
                TCliContext& context, TPostSetup& setup);

// Posts the release of the files (or of the one .nfo given); the exit status.
int PostFiles(const std::vector<std::string>& operands, const TCliArguments& arguments,
              TCliContext& context);

TCliCommand PostCommand();
