// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line's commands, each declared once: its name, summary, operands and
// options. One parser serves them all ("--" ends the options, "--help" shows a command's
// usage, made from its declaration), and every command writes through its context, so
// each runs in-process as well as from main.
#include "cli/CliContext.h"

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct TCliOption {
  std::string Name = {};  // "--artist", "-o"
  std::string Value = {}; // the value's word in the usage ("TEXT"); empty: a flag
  std::string Help = {};
  bool Repeats = false; // may be given more than once, each value kept
};

// What the parser found: the options given and the operands, in order.
struct TCliArguments {
  std::map<std::string, std::vector<std::string>, std::less<>> Values;
  std::vector<std::string> Flags;
  std::vector<std::string> Operands;
  bool Has(std::string_view flag) const;
  // The option's value (the last one given), or nullptr.
  const std::string* Value(std::string_view option) const;
  std::vector<std::string> All(std::string_view option) const;
};

struct TCliCommand {
  std::string Name = {};
  std::string Summary = {};  // one line for the tool's usage
  std::string Operands = {}; // as the usage line shows them: "FILE..."
  std::string Description = {};
  std::vector<TCliOption> Options = {};
  std::size_t MinimumOperands = 1;
  std::size_t MaximumOperands = static_cast<std::size_t>(-1);
  int (*Run)(const TCliArguments& arguments, TCliContext& context) = nullptr;
};

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
