// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line's commands, each declared once: its name, summary, operands and
// options. One parser serves them all ("--" ends the options, "--help" shows a command's
// usage, made from its declaration), and every command writes through its context, so
// each runs in-process as well as from main.
#include "cli/CliCommand.h"
#include "cli/CliContext.h"

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Every command, in the order the tool's usage lists them.
const std::vector<TCliCommand>& CliCommands();

// A command's usage, from its declaration (its options and "--help").
std::string CommandUsage(const TCliCommand& command);
// The tool's usage: its commands, --help and --version.
std::string ToolUsage();

// Parses a command's arguments; nothing, with the problem and the usage on stderr, for
// bad usage.
std::optional<TCliArguments> ParseArguments(const TCliCommand& command,
                                            std::span<const std::string> arguments,
                                            TCliContext& context);

// The whole command line after the program's name: the command and its arguments, or
// --help and --version. The exit status: 0 clean, 1 a problem, 2 bad usage.
int RunCommandLine(std::span<const std::string> arguments, TCliContext& context);
