// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ScriptedHost.h"

#include "common/TextUnit.h"

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

void TScriptedHost::ExpectError(TErrorCode code, const std::string& path) {
  ExpectMessage(TMessageKind::Error, std::string(ErrorMessage(code)) + "\n" + path);
}

void TScriptedHost::ExpectShellOpen(std::string file, TShellResult result) {
  Expected.push_back({"ShellOpen", std::move(file), static_cast<int>(result)});
}

void TScriptedHost::ExpectPreview() {
  Expected.push_back({"Preview", "", 0});
}

void TScriptedHost::ExpectInputBox(std::string caption, std::string prompt, std::string value,
                                   std::optional<std::string> answer) {
  Expected.push_back({"InputBox", caption + "|" + prompt + "|" + value, 0, std::move(answer)});
}

void TScriptedHost::ExpectOpenFileDialog(std::string request, std::optional<std::string> answer) {
  Expected.push_back({"OpenFileDialog", std::move(request), 0, std::move(answer)});
}

void TScriptedHost::ExpectHelp(int topic, bool shown) {
  Expected.push_back({"Help", std::to_string(topic), shown ? 1 : 0});
}

void TScriptedHost::ExpectOpenFilesDialog(std::string request, std::vector<std::string> answer) {
  Expected.push_back({"OpenFilesDialog", std::move(request), 0, std::nullopt, std::move(answer)});
}

void TScriptedHost::ExpectSaveFileDialog(std::string request, std::optional<std::string> answer) {
  Expected.push_back({"SaveFileDialog", std::move(request), 0, std::move(answer)});
}

void TScriptedHost::VerifyAllShown() {
  for (const TExpected& expected : Expected)
    ADD_FAILURE() << "expected call that never came: " << expected.What << ": " << expected.Text;
  Expected.clear();
}

const TScriptedHost::TExpected* TScriptedHost::Next(const std::string& what,
                                                    const std::string& text) {
  Calls.push_back(what + ": " + text);
  if (RecordOnly)
    return nullptr;
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
  // A program file opens in the program folder; a web address in none.
  EXPECT_EQ(workingFolder, file.starts_with("http") ? std::string() : ProgramDir.Path());
  const TExpected* expected = Next("ShellOpen", file);
  return expected ? static_cast<TShellResult>(expected->Answer) : TShellResult::Failed;
}

void TScriptedHost::ShowPreview(const std::string& text) {
  LastPreview = text;
  Next("Preview", text);
}

std::optional<std::string> TScriptedHost::InputBox(const std::string& caption,
                                                   const std::string& prompt,
                                                   const std::string& value, int maxLength) {
  InputMaxLength = maxLength;
  const TExpected* expected = Next("InputBox", caption + "|" + prompt + "|" + value);
  return expected ? expected->TextAnswer : std::nullopt;
}

std::optional<std::string> TScriptedHost::OpenFileDialog(const TOpenDialogRequest& request) {
  LastOpenDialog = request;
  const TExpected* expected =
      Next("OpenFileDialog",
           request.Title + "|" + std::to_string(request.FilterIndex) + "|" + request.FileName);
  return expected ? expected->TextAnswer : std::nullopt;
}

bool TScriptedHost::ShowHelp(int topic) {
  const TExpected* expected = Next("Help", std::to_string(topic));
  return expected && expected->Answer != 0;
}

void TScriptedHost::SetBusyCursor(bool busy) {
  BusyDepth += busy ? 1 : -1;
  BusyCount += busy ? 1 : 0;
}

std::optional<std::string> TScriptedHost::EnvironmentVariable(const std::string& name) {
  for (const auto& [key, value] : Environment)
    if (key == name)
      return value;
  return std::nullopt;
}

int TScriptedHost::CompareIgnoringCase(std::string_view a, std::string_view b) {
  return FoldCase(a).compare(FoldCase(b));
}

std::string TScriptedHost::UpperCase(std::string_view text) {
  return ToUpperCase(text);
}

std::vector<std::string> TScriptedHost::OpenFilesDialog(const TOpenDialogRequest& request) {
  LastOpenDialog = request;
  const TExpected* expected =
      Next("OpenFilesDialog", request.Title + "|" + request.OkButtonText + "|" + request.Folder);
  return expected ? expected->ListAnswer : std::vector<std::string>();
}

std::optional<std::string> TScriptedHost::SaveFileDialog(const TSaveDialogRequest& request) {
  LastSaveDialog = request;
  const TExpected* expected =
      Next("SaveFileDialog", request.Title + "|" + request.DefaultExtension + "|" +
                                 request.FileName + "|" + request.Folder);
  return expected ? expected->TextAnswer : std::nullopt;
}

bool TScriptedHost::OpenMedia(const std::string& path) {
  MediaCalls.push_back("Open " + path);
  if (!MediaOpens)
    ReportMediaProblem(MediaProblem);
  return MediaOpens;
}

TSecretResult TScriptedHost::ReadSecret(const std::string& name) {
  Calls.push_back("ReadSecret: " + name);
  if (!SecretStoreRuns)
    return {TSecretOutcome::NoStore, "", "no secret store"};
  const auto found = Secrets.find(name);
  if (found == Secrets.end())
    return {TSecretOutcome::NotFound, "", ""};
  return {TSecretOutcome::Done, found->second, ""};
}

TSecretResult TScriptedHost::WriteSecret(const std::string& name, const std::string& value) {
  Calls.push_back("WriteSecret: " + name);
  if (!SecretStoreRuns)
    return {TSecretOutcome::NoStore, "", "no secret store"};
  Secrets[name] = value;
  return {TSecretOutcome::Done, "", ""};
}
