#pragma once
// A host for tests: records every call, answers message boxes from a queue of
// expectations, fails the test on a box it was not told to expect, and checks at the
// end that every expected box appeared. Nothing modal ever opens.
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
  // Fails the test for every expected box that has not appeared; forgets them.
  void VerifyAllShown();

  TMessageResult ShowMessage(TMessageKind kind, const std::string& text) override;
  TRegionalSettings RegionalSettings() override { return Settings; }
  std::string ProgramFile() override { return ProgramFolder.Path() + "tamberlon"; }

  // Each call as "Caption: text", in order.
  std::vector<std::string> Calls;
  // English forms unless a test changes them.
  TRegionalSettings Settings;
  TTempFolder ProgramFolder;

private:
  struct TExpected {
    TMessageKind Kind;
    std::string Text;
    TMessageResult Answer;
  };
  std::deque<TExpected> Expected;
};

// Installs a scripted host for the lifetime of a test.
class TWithScriptedHost {
public:
  TScriptedHost Host;

private:
  TInstalledHost Installed{Host};
};
