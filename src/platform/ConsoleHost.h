#pragma once
// The command-line tool's host: messages go to stderr, regional forms come from Qt's
// system locale, exactly as in the window program.
#include "platform/Host.h"

class TConsoleHost : public TPlainHost {
public:
  TConsoleHost();
  TMessageResult ShowMessage(TMessageKind kind, const std::string& text) override;
  TRegionalSettings RegionalSettings() override { return Settings; }
  std::string ShortDateText(TDateTime value) override;
  std::string ShortTimeText(TDateTime value) override;

  int MessagesShown() const { return Shown; }

private:
  TRegionalSettings Settings;
  int Shown = 0;
};
