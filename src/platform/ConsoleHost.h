// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command-line tool's host: messages go to stderr, regional forms come from the C
// library's locale, as the window's do, so the tool needs no Qt.
#include "platform/LocaleHost.h"

#include <string>
#include <string_view>

// A line of the tool's on stderr, "tamberlon-cli: path: text" and its line break (without a
// path, "tamberlon-cli: text"): the path's names and the text made printable, the text's
// line breaks as spaces. Every such line the tool writes is made here, so no text from a
// server, a tag, a log or a sheet reaches a terminal with its control characters.
std::string ConsoleLine(std::string_view path, std::string_view text);

class TConsoleHost : public TLocaleHost {
public:
  // Every message on one line of stderr: "tamberlon-cli: text", and for a message about
  // one file "tamberlon-cli: path: text", as command-line tools write them.
  TMessageResult ShowMessage(TMessageKind kind, const std::string& text) override;
  TMessageResult ShowFileMessage(TMessageKind kind, const std::string& text,
                                 const std::string& path) override;

  int MessagesShown() const { return Shown; }

private:
  int Shown = 0;
};
