// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ConsoleHost.h"

#include <algorithm>
#include <cstdio>
#include <string>

TMessageResult TConsoleHost::ShowMessage(TMessageKind kind, const std::string& text) {
  return ShowFileMessage(kind, text, "");
}

TMessageResult TConsoleHost::ShowFileMessage(TMessageKind kind, const std::string& text,
                                             const std::string& path) {
  // Errors make the run unsuccessful; the tool never asks questions of its own.
  if (kind == TMessageKind::Confirmation)
    return TMessageResult::No;
  Shown += kind == TMessageKind::Error;
  std::string line = MessageLines(text);
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::fprintf(stderr, "tamberlon-cli: %s%s%s\n", path.c_str(), path.empty() ? "" : ": ",
               line.c_str());
  return TMessageResult::Ok;
}
