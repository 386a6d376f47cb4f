// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A command of the command line as it declares itself (its name, operands and options) and
// what the parser hands it; the list of commands and the parser are the command line's.
#include "cli/CliContext.h"

#include <map>
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
