#include "support/ScriptedHost.h"

#include <gtest/gtest.h>

TScriptedHost::TScriptedHost() = default;

TScriptedHost::~TScriptedHost() {
  VerifyAllShown();
}

void TScriptedHost::ExpectMessage(TMessageKind kind, std::string text, TMessageResult answer) {
  Expected.push_back({MessageCaption(kind), std::move(text), static_cast<int>(answer)});
}

void TScriptedHost::ExpectError(TErrorCode code) {
  ExpectMessage(TMessageKind::Error, std::string(ErrorMessage(code)));
}

void TScriptedHost::ExpectShellOpen(std::string file, TShellResult result) {
  Expected.push_back({"ShellOpen", std::move(file), static_cast<int>(result)});
}

void TScriptedHost::ExpectPreview() {
  Expected.push_back({"Preview", "", 0});
}

void TScriptedHost::VerifyAllShown() {
  for (const TExpected& expected : Expected)
    ADD_FAILURE() << "expected call that never came: " << expected.What << ": " << expected.Text;
  Expected.clear();
}

const TScriptedHost::TExpected* TScriptedHost::Next(const std::string& what,
                                                    const std::string& text) {
  Calls.push_back(what + ": " + text);
  if (Expected.empty()) {
    ADD_FAILURE() << "unexpected call: " << what << ": " << text;
    return nullptr;
  }
  Current = Expected.front();
  Expected.pop_front();
  EXPECT_EQ(Current.What, what) << text;
  if (what != "Preview") {
    EXPECT_EQ(Current.Text, text);
  }
  return &Current;
}

TMessageResult TScriptedHost::ShowMessage(TMessageKind kind, const std::string& text) {
  const TExpected* expected = Next(MessageCaption(kind), text);
  if (!expected)
    return kind == TMessageKind::Confirmation ? TMessageResult::No : TMessageResult::Ok;
  return static_cast<TMessageResult>(expected->Answer);
}

std::string TScriptedHost::ShortDateText(TDateTime value) {
  return FormatDateTime(value, Settings.ShortDateFormat);
}

std::string TScriptedHost::ShortTimeText(TDateTime value) {
  return FormatDateTime(value, Settings.ShortTimeFormat);
}

TShellResult TScriptedHost::ShellOpen(const std::string& file, const std::string& workingFolder) {
  EXPECT_EQ(workingFolder, ProgramFolder.Path());
  const TExpected* expected = Next("ShellOpen", file);
  return expected ? static_cast<TShellResult>(expected->Answer) : TShellResult::Failed;
}

void TScriptedHost::ShowPreview(const std::string& text) {
  LastPreview = text;
  Next("Preview", text);
}
