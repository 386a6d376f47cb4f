// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include "BuildInfo.h"
#include "cli/AnalyzeCommand.h"
#include "cli/DocumentCommands.h"
#include "cli/InfoCommand.h"
#include "cli/PostCommand.h"
#include "cli/RenderCommand.h"
#include "common/AppVersionUnit.h"
#include "platform/ConsoleHost.h"

#include <algorithm>

const std::vector<TCliCommand>& CliCommands() {
  static const std::vector<TCliCommand> commands = {
      InfoCommand(),  RenderCommand(), NfoCommand(),  SfvCommand(),     Par2Command(),
      CheckCommand(), RepairCommand(), PostCommand(), AnalyzeCommand(), SonogramCommand()};
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

// Edits (insertions, deletions, changes) that turn one name into the other.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j)
    row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The command's option a mistyped name most likely meant: the closest one that starts
// with the same letter, when it is closer than half the name's length (a name that is
// nothing alike gets no guess, and neither does one whose few letters recur in another).
const TCliOption* NearestOption(const TCliCommand& command, std::string_view name) {
  const TCliOption* nearest = nullptr;
  std::size_t best = name.size() / 2 + 1;
  const auto first = [](std::string_view option) {
    const std::size_t at = option.find_first_not_of('-');
    return at == std::string_view::npos ? '\0' : option[at];
  };
  for (const TCliOption& option : command.Options)
    if (const std::size_t distance = EditDistance(name, option.Name);
        distance < best && first(name) == first(option.Name)) {
      best = distance;
      nearest = &option;
    }
  return nearest;
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
  std::size_t widest = 0; // the summaries line up after the longest name
  for (const TCliCommand& command : CliCommands())
    widest = std::max(widest, command.Name.size());
  for (const TCliCommand& command : CliCommands())
    usage += "  " + command.Name + std::string(widest + 2 - command.Name.size(), ' ') +
             command.Summary + "\n";
  return usage + "\nRun 'tamberlon-cli COMMAND --help' for a command's options,\n"
                 "'tamberlon-cli --version' for the version.\n";
}

std::optional<TCliArguments> ParseArguments(const TCliCommand& command,
                                            std::span<const std::string> arguments,
                                            TCliContext& context) {
  TCliArguments parsed;
  // The problem and where the help is: the whole help would bury the one line that matters.
  const auto badUsage = [&](const std::string& problem) {
    context.Err << ConsoleLine("", problem) << "Run 'tamberlon-cli " << command.Name
                << " --help' for its options.\n";
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
    // "--name=value" is "--name value".
    const std::size_t equals = argument.starts_with("--") ? argument.find('=') : std::string::npos;
    const std::string name = argument.substr(0, equals);
    const TCliOption* option = OptionNamed(command, name);
    if (!option) {
      const TCliOption* nearest = NearestOption(command, name);
      return badUsage("unknown option " + name +
                      (nearest ? "; did you mean " + nearest->Name + "?" : std::string()));
    }
    if (option->Value.empty()) {
      if (equals != std::string::npos)
        return badUsage(name + " takes no value");
      parsed.Flags.push_back(name);
      continue;
    }
    if (equals == std::string::npos && i + 1 >= arguments.size())
      return badUsage(name + " needs a value");
    std::vector<std::string>& values = parsed.Values[name];
    if (!option->Repeats)
      values.clear();
    values.push_back(equals == std::string::npos ? arguments[++i] : argument.substr(equals + 1));
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
    context.Err << ConsoleLine("", "unknown command " + name) << "\n" << ToolUsage();
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
