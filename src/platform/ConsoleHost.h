#pragma once
// The command-line tool's host: messages go to stderr, regional forms come from Qt's
// system locale, exactly as in the window program.
#include "common/Host.h"

#include <QCollator>
#include <memory>

class TConsoleHost : public TPlainHost {
public:
  TConsoleHost();
  // Every message on one line of stderr: "tamberlon-cli: text", and for a message about
  // one file "tamberlon-cli: path: text", as command-line tools write them.
  TMessageResult ShowMessage(TMessageKind kind, const std::string& text) override;
  TMessageResult ShowFileMessage(TMessageKind kind, const std::string& text,
                                 const std::string& path) override;
  TRegionalSettings RegionalSettings() override { return Settings; }
  std::string ShortDateText(TDateTime value) override;
  std::string ShortTimeText(TDateTime value) override;
  int CompareIgnoringCase(std::string_view a, std::string_view b) override;
  std::string UpperCase(std::string_view text) override;

  int MessagesShown() const { return Shown; }

private:
  TRegionalSettings Settings;
  // Made when first needed: loading the collation tables costs more than most runs.
  std::unique_ptr<QCollator> Collator;
  int Shown = 0;
};
