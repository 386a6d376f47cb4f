#pragma once
// The window program's host: Qt's modal boxes and the system's regional forms.
#include "platform/Host.h"

class TQtHost : public TPlainHost {
public:
  TQtHost();
  TMessageResult ShowMessage(TMessageKind kind, const std::string& text) override;
  TRegionalSettings RegionalSettings() override { return Settings; }
  std::string ProgramFile() override;

private:
  TRegionalSettings Settings;
};
