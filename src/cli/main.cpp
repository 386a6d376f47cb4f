// SPDX-License-Identifier: GPL-3.0-or-later
// tamberlon-cli: the command-line companion of Tamberlon.
#include "cli/CommandLine.h"
#include "common/AppVersionUnit.h"
#include "common/FileWriteUnit.h"
#include "platform/ConsoleHost.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
  // The C library's locale gives the regional forms; the tool needs no display.
  TConsoleHost host;
  TInstalledHost installed(host);
  InstallWriteInterruptCleanup();
  // A save a kill cut short is settled before a command reads or writes an album's files
  // (the others need no program folder, and ask for none).
  const std::vector<std::string> touching = {"nfo", "sfv", "par2", "check", "repair"};
  if (argc > 1 && std::find(touching.begin(), touching.end(), argv[1]) != touching.end())
    RecoverInterruptedCommits(GetProgramFolder());
  TCliContext context{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
  context.OutIsTerminal = ::isatty(STDOUT_FILENO) == 1;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  int status = 1;
  // No exception ends the tool without a word: the command that met it fails.
  try {
    status = RunCommandLine(arguments, context);
  } catch (const std::exception& problem) {
    std::cerr << ConsoleLine("", problem.what());
    return 1;
  }
  std::cout.flush();
  // A message that the window would show in a box means the run did not go cleanly.
  return status == 0 && !context.StatusFinal && host.MessagesShown() > 0 ? 1 : status;
}
