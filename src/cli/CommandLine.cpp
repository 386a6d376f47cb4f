// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include "BuildInfo.h"
#include "cli/DocumentCommands.h"
#include "cli/InfoCommand.h"
#include "cli/RenderCommand.h"
#include "common/AppVersionUnit.h"

#include <algorithm>

bool TCliArguments::Has(std::string_view flag) const {
  return std::find(Flags.begin(), Flags.end(), flag) != Flags.end();
}

const std::string* TCliArguments::Value(std::string_view option) const {
  const auto at = Values.find(option);
  return at == Values.end() || at->second.empty() ? nullptr : &at->second.back();
}

std::vector<std::string> TCliArguments::All(std::string_view option) const {
  const auto at = Values.find(option);
  return at == Values.end() ? std::vector<std::string>() : at->second;
}

const std::vector<TCliCommand>& CliCommands() {
  static const std::vector<TCliCommand> commands = {InfoCommand(), RenderCommand(), NfoCommand(),
                                                    SfvCommand(), CheckCommand()};
  return commands;
}

namespace {
constexpr std::size_t HelpColumn = 34;
constexpr std::size_t LineWidth = 80;

// The words of a text wrapped to lines of the width, each line after the first indented.
std::string Wrapped(std::string_view text, std::size_t indent, std::size_t first) {
  std::string out;
  std::size_t column = first;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    const std::string_view word = text.substr(at, end - at);
    if (column > indent && column + 1 + word.size() > LineWidth) {
      out += "\n" + std::string(indent, ' ');
      column = indent;
    } else if (column > indent) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    at = end + 1;
  }
  return out;
}

std::string OptionLine(const TCliOption& option) {
  std::string line = "  " + option.Name + (option.Value.empty() ? "" : " " + option.Value);
  if (line.size() + 2 > HelpColumn)
    line += "\n" + std::string(HelpColumn, ' ');
  else
    line += std::string(HelpColumn - line.size(), ' ');
  return line + Wrapped(option.Help, HelpColumn, HelpColumn) + "\n";
}

const TCliOption* OptionNamed(const TCliCommand& command, std::string_view name) {
  for (const TCliOption& option : command.Options)
    if (option.Name == name)
      return &option;
  return nullptr;
}
} // namespace

std::string CommandUsage(const TCliCommand& command) {
  std::string usage = "Usage: tamberlon-cli " + command.Name +
                      (command.Options.empty() ? "" : " [options]") +
                      (command.Operands.empty() ? "" : " " + command.Operands) + "\n\n" +
                      Wrapped(command.Description, 0, 0) + "\n\n";
  for (const TCliOption& option : command.Options)
    usage += OptionLine(option);
  usage += OptionLine({"--help", "", "show this text"});
  usage += OptionLine({"--", "", "ends the options: every argument after it is an operand"});
  return usage;
}

std::string ToolUsage() {
  std::string usage = "Usage: tamberlon-cli COMMAND [OPTIONS] FILE...\n\nCommands:\n";
  for (const TCliCommand& command : CliCommands())
    usage += "  " + command.Name +
             std::string(8 - std::min<std::size_t>(8, command.Name.size()), ' ') + command.Summary +
             "\n";
  return usage + "\nRun 'tamberlon-cli COMMAND --help' for a command's options,\n"
                 "'tamberlon-cli --version' for the version.\n";
}

std::optional<TCliArguments> ParseArguments(const TCliCommand& command,
                                            std::span<const std::string> arguments,
                                            TCliContext& context) {
  TCliArguments parsed;
  const auto badUsage = [&](const std::string& problem) {
    context.Err << "tamberlon-cli: " << problem << "\n\n" << CommandUsage(command);
    return std::nullopt;
  };
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument == "-" || !argument.starts_with("-")) {
      parsed.Operands.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    const TCliOption* option = OptionNamed(command, argument);
    if (!option)
      return badUsage("unknown option " + argument);
    if (option->Value.empty()) {
      parsed.Flags.push_back(argument);
      continue;
    }
    if (i + 1 >= arguments.size())
      return badUsage(argument + " needs a value");
    std::vector<std::string>& values = parsed.Values[argument];
    if (!option->Repeats)
      values.clear();
    values.push_back(arguments[++i]);
  }
  if (parsed.Operands.size() < command.MinimumOperands ||
      parsed.Operands.size() > command.MaximumOperands)
    return badUsage(parsed.Operands.empty() ? "no " + command.Operands + " given"
                                            : "too many operands");
  return parsed;
}

int RunCommandLine(std::span<const std::string> arguments, TCliContext& context) {
  if (arguments.empty()) {
    context.Err << ToolUsage();
    return 2;
  }
  const std::string& name = arguments.front();
  if (name == "--help" || name == "help") {
    context.Out << ToolUsage();
    return 0;
  }
  if (name == "--version" || name == "version") {
    context.Out << "tamberlon-cli " << ShortenVersion(TAMBERLON_FILE_VERSION) << "\n"
                << LicenseLine << "\n";
    return 0;
  }
  const std::vector<TCliCommand>& commands = CliCommands();
  const auto command = std::find_if(commands.begin(), commands.end(),
                                    [&](const TCliCommand& c) { return c.Name == name; });
  if (command == commands.end()) {
    context.Err << "tamberlon-cli: unknown command " << name << "\n\n" << ToolUsage();
    return 2;
  }
  const std::span<const std::string> rest = arguments.subspan(1);
  const auto ended = std::find(rest.begin(), rest.end(), "--");
  if (std::find(rest.begin(), ended, "--help") != ended) {
    context.Out << CommandUsage(*command);
    return 0;
  }
  const auto parsed = ParseArguments(*command, rest, context);
  return parsed ? command->Run(*parsed, context) : 2;
}
