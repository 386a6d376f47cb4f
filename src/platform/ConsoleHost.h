// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command-line tool's host: messages go to stderr, regional forms come from the C
// library's locale, as the window's do, so the tool needs no Qt.
#include "platform/LocaleHost.h"

#include <string>

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
