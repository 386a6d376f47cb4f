// SPDX-License-Identifier: GPL-3.0-or-later
// tamberlon-cli: the command-line companion of Tamberlon.
#include "BuildInfo.h"
#include "cli/DocumentCommands.h"
#include "cli/InfoCommand.h"
#include "cli/RenderCommand.h"
#include "common/AppVersionUnit.h"
#include "common/FileWriteUnit.h"
#include "platform/ConsoleHost.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
constexpr const char* Usage = "Usage: tamberlon-cli COMMAND [OPTIONS] FILE...\n"
                              "\n"
                              "Commands:\n"
                              "  info    print the track record of each MP3 file\n"
                              "  render  expand a template against an album of tracks\n"
                              "  nfo     write an album's .nfo (and .sfv) as the window saves it\n"
                              "  sfv     write the .sfv checksum list of files\n"
                              "  check   verify the files an .sfv lists\n"
                              "\n"
                              "Run 'tamberlon-cli COMMAND --help' for a command's options,\n"
                              "'tamberlon-cli --version' for the version.\n";
} // namespace

int main(int argc, char** argv) {
  // The C library's locale gives the regional forms; the tool needs no display.
  TConsoleHost host;
  TInstalledHost installed(host);

  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.empty()) {
    std::fputs(Usage, stderr);
    return 2;
  }
  const std::string& command = arguments.front();
  const std::span<const std::string> rest(arguments.begin() + 1, arguments.end());
  int status = 0;
  bool statusFinal = false;
  InstallWriteInterruptCleanup();
  // No exception ends the tool without a word: the command that met it fails.
  try {
    if (command == "--help" || command == "help") {
      std::fputs(Usage, stdout);
      return 0;
    } else if (command == "--version" || command == "version") {
      std::printf("tamberlon-cli %s\n%s\n", ShortenVersion(TAMBERLON_FILE_VERSION).c_str(),
                  LicenseLine);
      return 0;
    } else if (command == "info") {
      status = RunInfoCommand(rest);
    } else if (command == "render") {
      status = RunRenderCommand(rest);
    } else if (command == "nfo" || command == "sfv" || command == "check") {
      TCliContext context{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
      const TCommand run = command == "nfo"   ? RunNfoCommand
                           : command == "sfv" ? RunSfvCommand
                                              : RunCheckCommand;
      status = run(rest, context);
      statusFinal = context.StatusFinal;
    } else {
      std::fprintf(stderr, "tamberlon-cli: unknown command %s\n\n%s", command.c_str(), Usage);
      return 2;
    }
  } catch (const std::exception& problem) {
    std::fprintf(stderr, "tamberlon-cli: %s\n", problem.what());
    return 1;
  }
  // A message that the window would show in a box means the run did not go cleanly.
  return status == 0 && !statusFinal && host.MessagesShown() > 0 ? 1 : status;
}
