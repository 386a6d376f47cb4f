// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Posting from the command line: the post command, and the post that nfo --post runs
// after its save.
#include "cli/CommandLine.h"

#include <string>
#include <vector>

// The post options, which nfo --post takes too.
extern const std::vector<TCliOption> PostOptionList;

// Posts the release of the files (or of the one .nfo given); the exit status.
int PostFiles(const std::vector<std::string>& operands, const TCliArguments& arguments,
              TCliContext& context);

TCliCommand PostCommand();
