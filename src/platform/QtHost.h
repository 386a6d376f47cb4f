#pragma once
// The window program's host: Qt's modal boxes and the system's regional forms.
#include "platform/ConsoleHost.h"

class TQtHost : public TConsoleHost {
public:
  TMessageResult ShowMessage(TMessageKind kind, const std::string& text) override;
  std::string ProgramFile() override;
  TShellResult ShellOpen(const std::string& file, const std::string& workingFolder) override;
  void ShowPreview(const std::string& text) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& value, int maxLength) override;
  std::optional<std::string> OpenFileDialog(const TOpenDialogRequest& request) override;
  bool ShowHelp(int topic) override;
  void SetBusyCursor(bool busy) override;
};
