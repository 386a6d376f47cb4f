// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Host.h"

#include "common/AppVersionUnit.h"
#include "common/TextUnit.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace {
THost* Installed = nullptr;
} // namespace

const char* MessageCaption(TMessageKind kind) {
  switch (kind) {
  case TMessageKind::Error:
    return "Error";
  case TMessageKind::Information:
    return "Information";
  case TMessageKind::Confirmation:
    return "Confirm";
  }
  return "";
}

std::string MessageLines(std::string text) {
  std::string lines;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      lines += c;
      continue;
    }
    lines += '\n';
    const char pair = c == '\r' ? '\n' : '\r';
    if (i + 1 < text.size() && text[i + 1] == pair)
      ++i;
  }
  return lines;
}

TMessageResult THost::ShowFileMessage(TMessageKind kind, const std::string& text,
                                      const std::string& path) {
  // Paths one a line, each with its control characters shown escaped.
  return ShowMessage(kind, text + "\n" + PrintableNames(path));
}

TMessageResult TPlainHost::ShowMessage(TMessageKind kind, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", MessageCaption(kind),
               PrintableTextLines(MessageLines(text)).c_str());
  return kind == TMessageKind::Confirmation ? TMessageResult::No : TMessageResult::Ok;
}

TRegionalSettings TPlainHost::RegionalSettings() {
  return {};
}

TPlainHost::TPlainHost() = default;
TPlainHost::~TPlainHost() = default;

std::string TPlainHost::ProgramFolder() {
  if (!Folder.empty())
    return Folder;
  Folder = ChooseProgramFolder(ProgramFile(), EnvironmentVariable("XDG_CONFIG_HOME"),
                               EnvironmentVariable("HOME"), FolderIsWritable);
  if (Folder.empty()) {
    // Said once; a folder nothing can be read from or written to stands in, so that no
    // file lands in whatever the current folder is.
    Folder = "/dev/null/";
    ShowMessage(TMessageKind::Error,
                "There is no folder for Tamberlon's files: the program's own folder cannot be "
                "written, HOME is not set and XDG_CONFIG_HOME is not an absolute path.");
  }
  return Folder;
}

std::string TPlainHost::ProgramFile() {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

TDateTime TPlainHost::Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min, local.tm_sec});
}

std::string TPlainHost::ShortDateText(TDateTime value) {
  return FormatDateTime(value, RegionalSettings().ShortDateFormat);
}

std::string TPlainHost::ShortTimeText(TDateTime value) {
  return FormatDateTime(value, RegionalSettings().ShortTimeFormat);
}

TShellResult TPlainHost::ShellOpen(const std::string& file, const std::string& workingFolder) {
  // Without a desktop there is nothing to open the file with; a missing file is still told
  // apart so that callers can create it.
  const bool address = file.find("://") != std::string::npos;
  std::error_code error;
  if (!address && !std::filesystem::exists(workingFolder + file, error))
    return TShellResult::FileNotFound;
  return TShellResult::Failed;
}

void TPlainHost::ShowPreview(const std::string& text) {
  std::fputs(text.c_str(), stdout);
}

std::optional<std::string> TPlainHost::InputBox(const std::string&, const std::string&,
                                                const std::string&, int) {
  return std::nullopt;
}

std::optional<std::string> TPlainHost::OpenFileDialog(const TOpenDialogRequest&) {
  return std::nullopt;
}

std::vector<std::string> TPlainHost::OpenFilesDialog(const TOpenDialogRequest&) {
  return {};
}

std::optional<std::string> TPlainHost::SaveFileDialog(const TSaveDialogRequest&) {
  return std::nullopt;
}

bool TPlainHost::OpenMedia(const std::string&) {
  return false;
}

bool TPlainHost::ShowHelp(int) {
  return false;
}

void TPlainHost::SetBusyCursor(bool) {}

std::optional<std::string> TPlainHost::EnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? std::optional<std::string>(value) : std::nullopt;
}

int TPlainHost::CompareIgnoringCase(std::string_view a, std::string_view b) {
  return FoldCase(a).compare(FoldCase(b));
}

std::string TPlainHost::UpperCase(std::string_view text) {
  return ToUpperCase(text);
}

THost& CurrentHost() {
  static TPlainHost plain;
  return Installed ? *Installed : plain;
}

TInstalledHost::TInstalledHost(THost& host) : Previous(Installed) {
  Installed = &host;
}

TInstalledHost::~TInstalledHost() {
  Installed = Previous;
}

void ShowProblem(const TProblem& problem) {
  CurrentHost().ShowFileMessage(TMessageKind::Error, problem.Message, problem.Path);
}

void ShowAnyProblem(const std::optional<TProblem>& problem) {
  if (problem)
    ShowProblem(*problem);
}

void ShowProblems(const std::vector<TProblem>& problems) {
  for (const TProblem& problem : problems)
    ShowProblem(problem);
}
