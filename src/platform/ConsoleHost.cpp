#include "platform/ConsoleHost.h"

#include "platform/QtRegionalSettings.h"

#include <cstdio>

TConsoleHost::TConsoleHost() : Settings(SystemRegionalSettings()) {}

TMessageResult TConsoleHost::ShowMessage(TMessageKind kind, const std::string& text) {
  ++Shown;
  // A box's line breaks (\r) become the terminal's.
  std::string lines = text;
  for (char& c : lines)
    if (c == '\r')
      c = '\n';
  std::fprintf(stderr, "%s: %s\n", MessageCaption(kind), lines.c_str());
  return kind == TMessageKind::Confirmation ? TMessageResult::No : TMessageResult::Ok;
}
