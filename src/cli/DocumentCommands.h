// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// tamberlon-cli nfo, sfv and check: the headless twins of Choose Tracks and Save.
#include "cli/CliContext.h"

int RunNfoCommand(std::span<const std::string> arguments, TCliContext& context);
int RunSfvCommand(std::span<const std::string> arguments, TCliContext& context);
int RunCheckCommand(std::span<const std::string> arguments, TCliContext& context);
