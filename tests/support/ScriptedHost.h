#pragma once
// A host for tests: records every call, answers from a queue of expectations (checked
// in order), fails the test on a call it was not told to expect, and checks at the end
// that every expected call came. Nothing modal ever opens.
#include "common/ErrorsUnit.h"
#include "platform/Host.h"
#include "support/TempFolder.h"

#include <deque>
#include <string>
#include <vector>

class TScriptedHost : public THost {
public:
  TScriptedHost();
  ~TScriptedHost() override;

  void ExpectMessage(TMessageKind kind, std::string text,
                     TMessageResult answer = TMessageResult::Ok);
  void ExpectError(TErrorCode code);
  void ExpectShellOpen(std::string file, TShellResult result);
  void ExpectPreview();
  // Fails the test for every expected call that has not come; forgets them.
  void VerifyAllShown();

  TMessageResult ShowMessage(TMessageKind kind, const std::string& text) override;
  TRegionalSettings RegionalSettings() override { return Settings; }
  std::string ProgramFile() override { return ProgramFolder.Path() + "tamberlon"; }
  TDateTime Now() override { return Clock; }
  std::string ShortDateText(TDateTime value) override;
  std::string ShortTimeText(TDateTime value) override;
  TShellResult ShellOpen(const std::string& file, const std::string& workingFolder) override;
  void ShowPreview(const std::string& text) override;

  // Each call as "What: text", in order.
  std::vector<std::string> Calls;
  // English forms unless a test changes them.
  TRegionalSettings Settings;
  // 8 December 2026, 14:05:09.
  TDateTime Clock = EncodeDateTime({2026, 12, 8, 14, 5, 9});
  std::string LastPreview;
  TTempFolder ProgramFolder;

private:
  struct TExpected {
    std::string What;
    std::string Text;
    int Answer;
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
