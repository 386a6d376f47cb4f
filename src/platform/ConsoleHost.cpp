// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ConsoleHost.h"

#include "common/TextUnit.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {
TMessageResult AskAtTerminal(const std::string& question) {
  if (::isatty(STDIN_FILENO) != 1 || ::isatty(STDERR_FILENO) != 1)
    return TMessageResult::No;
  std::string text = ConsoleLine("", question);
  text.pop_back();
  std::fprintf(stderr, "%s [y/N] ", text.c_str());
  std::fflush(stderr);
  char answer[16] = {};
  if (!std::fgets(answer, sizeof answer, stdin))
    return TMessageResult::No;
  return answer[0] == 'y' || answer[0] == 'Y' ? TMessageResult::Yes : TMessageResult::No;
}
} // namespace

std::string ConsoleLine(std::string_view path, std::string_view text) {
  std::string line = PrintableTextLines(MessageLines(std::string(text)));
  std::replace(line.begin(), line.end(), '\n', ' ');
  return "tamberlon-cli: " + PrintableNames(path) + (path.empty() ? "" : ": ") + line + "\n";
}

TMessageResult TConsoleHost::ShowMessage(TMessageKind kind, const std::string& text) {
  return ShowFileMessage(kind, text, "");
}

TMessageResult TConsoleHost::ShowFileMessage(TMessageKind kind, const std::string& text,
                                             const std::string& path) {
  // Errors make the run unsuccessful. A question (asked only where an option says "ask")
  // is put to a person at a terminal; without one the answer is no, and nothing waits.
  if (kind == TMessageKind::Confirmation)
    return AskAtTerminal(text);
  Shown += kind == TMessageKind::Error;
  std::fputs(ConsoleLine(path, text).c_str(), stderr);
  return TMessageResult::Ok;
}
