#include "support/ScriptedHost.h"

#include <gtest/gtest.h>

TScriptedHost::TScriptedHost() = default;

TScriptedHost::~TScriptedHost() {
  VerifyAllShown();
}

void TScriptedHost::ExpectMessage(TMessageKind kind, std::string text, TMessageResult answer) {
  Expected.push_back({kind, std::move(text), answer});
}

void TScriptedHost::ExpectError(TErrorCode code) {
  ExpectMessage(TMessageKind::Error, std::string(ErrorMessage(code)));
}

void TScriptedHost::VerifyAllShown() {
  for (const TExpected& expected : Expected)
    ADD_FAILURE() << "expected a message box that never appeared: " << expected.Text;
  Expected.clear();
}

TMessageResult TScriptedHost::ShowMessage(TMessageKind kind, const std::string& text) {
  Calls.push_back(std::string(MessageCaption(kind)) + ": " + text);
  if (Expected.empty()) {
    ADD_FAILURE() << "unexpected message box (" << MessageCaption(kind) << "): " << text;
    return kind == TMessageKind::Confirmation ? TMessageResult::No : TMessageResult::Ok;
  }
  const TExpected expected = Expected.front();
  Expected.pop_front();
  EXPECT_EQ(MessageCaption(expected.Kind), std::string(MessageCaption(kind)));
  EXPECT_EQ(expected.Text, text);
  return expected.Answer;
}
