// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A host for tests: records every call, answers from a queue of expectations (checked
// in order), fails the test on a call it was not told to expect, and checks at the end
// that every expected call came. Nothing modal ever opens.
#include "common/ErrorsUnit.h"
#include "common/Host.h"
#include "support/TempFolder.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TScriptedHost : public THost {
public:
  TScriptedHost();
  ~TScriptedHost() override;

  void ExpectMessage(TMessageKind kind, std::string text,
                     TMessageResult answer = TMessageResult::Ok);
  void ExpectError(TErrorCode code);
  // An error about one file, which the message names on its second line.
  void ExpectError(TErrorCode code, const std::string& path);
  void ExpectShellOpen(std::string file, TShellResult result);
  void ExpectPreview();
  // The input box's caption, prompt and preset value; the answer, or nothing to cancel.
  void ExpectInputBox(std::string caption, std::string prompt, std::string value,
                      std::optional<std::string> answer);
  // The dialog's request as "title|filter index|file name"; the chosen path or nothing.
  void ExpectOpenFileDialog(std::string request, std::optional<std::string> answer);
  void ExpectHelp(int topic, bool shown);
  // "title|ok button|folder"; the chosen paths (none to cancel).
  void ExpectOpenFilesDialog(std::string request, std::vector<std::string> answer);
  // "title|default extension|file name|folder"; the chosen path or nothing.
  void ExpectSaveFileDialog(std::string request, std::optional<std::string> answer);
  // Fails the test for every expected call that has not come; forgets them.
  void VerifyAllShown();

  TMessageResult ShowMessage(TMessageKind kind, const std::string& text) override;
  TRegionalSettings RegionalSettings() override { return Settings; }
  std::string ProgramFile() override { return ProgramDir.Path() + "tamberlon"; }
  std::string ProgramFolder() override { return ProgramDir.Path(); }
  TDateTime Now() override { return Clock; }
  std::string ShortDateText(TDateTime value) override;
  std::string ShortTimeText(TDateTime value) override;
  TShellResult ShellOpen(const std::string& file, const std::string& workingFolder) override;
  void ShowPreview(const std::string& text) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& value, int maxLength) override;
  std::optional<std::string> OpenFileDialog(const TOpenDialogRequest& request) override;
  std::vector<std::string> OpenFilesDialog(const TOpenDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const TSaveDialogRequest& request) override;
  // The player needs no expectations: its calls are logged in MediaCalls, and opening
  // answers MediaOpens.
  bool OpenMedia(const std::string& path) override;
  void PlayMedia() override { MediaCalls.push_back("Play"); }
  void StopMedia() override { MediaCalls.push_back("Stop"); }
  void CloseMedia() override { MediaCalls.push_back("Close"); }
  bool ShowHelp(int topic) override;
  void SetBusyCursor(bool busy) override;
  std::optional<std::string> EnvironmentVariable(const std::string& name) override;
  int CompareIgnoringCase(std::string_view a, std::string_view b) override;
  std::string UpperCase(std::string_view text) override;
  // A secret store in memory: Secrets, while SecretStoreRuns; else none runs.
  TSecretResult ReadSecret(const std::string& name) override;
  TSecretResult WriteSecret(const std::string& name, const std::string& value) override;
  bool SecretStoreRuns = true;
  std::map<std::string, std::string> Secrets;

  // Each call as "What: text", in order.
  std::vector<std::string> Calls;
  // Records message boxes without expectations (for comparing two runs' messages).
  bool RecordOnly = false;
  // English forms unless a test changes them.
  TRegionalSettings Settings;
  // 8 December 2026, 14:05:09.
  TDateTime Clock = EncodeDateTime({2026, 12, 8, 14, 5, 9});
  std::string LastPreview;
  TOpenDialogRequest LastOpenDialog;
  TSaveDialogRequest LastSaveDialog;
  std::vector<std::string> MediaCalls;
  bool MediaOpens = true;
  std::string MediaProblem = "no decoder"; // the reason a failed open reports
  int InputMaxLength = 0;
  // Busy cursor: how deep it is now and how often it was set.
  int BusyDepth = 0;
  int BusyCount = 0;
  // The environment the program sees; nothing else leaks in from the real one.
  std::vector<std::pair<std::string, std::string>> Environment;
  TTempFolder ProgramDir;

private:
  struct TExpected {
    std::string What;
    std::string Text;
    int Answer;
    std::optional<std::string> TextAnswer{};
    std::vector<std::string> ListAnswer{};
  };
  const TExpected* Next(const std::string& what, const std::string& text);
  std::deque<TExpected> Expected;
  TExpected Current;
};

// Installs a scripted host for the lifetime of a test.
class TWithScriptedHost {
public:
  TScriptedHost Host;

private:
  TInstalledHost Installed{Host};
};
