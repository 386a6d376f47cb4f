// SPDX-License-Identifier: GPL-3.0-or-later
#include "newsgroups/NewsGroupCommandsUnit.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/TextUnit.h"

#include <array>

namespace {
constexpr std::size_t ProgramFilesLimit = 100;

void ChooseAndLoad(TNewsGroupSelection& selection, std::size_t filterIndex,
                   const std::string& fileName) {
  if (const auto path = CurrentHost().OpenFileDialog(ImportDialogRequest(filterIndex, fileName)))
    selection.LoadNewsGroupFile(*path);
}

// Where the Agent newsreader keeps its list when it runs in the default Wine prefix.
std::string WineAgentList() {
  const auto home = CurrentHost().EnvironmentVariable("HOME");
  if (!home)
    return {};
  for (const char* programFiles : {"Program Files", "Program Files (x86)"}) {
    const std::string path = *home + "/.wine/drive_c/" + programFiles + "/Agent/Data/groups.dat";
    if (FileExists(path))
      return path;
  }
  return {};
}
} // namespace

TOpenDialogRequest ImportDialogRequest(std::size_t filterIndex, const std::string& fileName) {
  TOpenDialogRequest request;
  request.Title = "Import NewsGroups";
  request.Filters = {
      {"Text File (*.txt)", "*.txt"}, {"Forte Agent (*.dat) ", "*.dat"}, {"All files (*.*)", "*"}};
  request.FilterIndex = filterIndex;
  request.FileName = fileName;
  return request;
}

void AddNewsGroup(TNewsGroupSelection& selection) {
  THost& host = CurrentHost();
  const std::string preset =
      selection.LastGroupAdded.empty() ? AddNewsGroupPreset : selection.LastGroupAdded;
  const auto entered =
      host.InputBox(AddNewsGroupCaption, AddNewsGroupPrompt, preset, NewsGroupNameLimit);
  if (!entered)
    return;
  const std::string name(TrimControl(*entered));
  if (!TNewsGroups::IsValidName(name)) {
    host.ShowMessage(TMessageKind::Information, name + " is not a valid news group name");
    return;
  }
  if (selection.KnownGroups.Contains(name)) {
    host.ShowMessage(TMessageKind::Information, name + " is already in the listing");
    return;
  }
  selection.AddGroup(name);
  selection.LastGroupAdded = name;
}

void EditNewsGroupList() {
  // Without a program to open it, the message names the file to edit by hand.
  const std::string folder = GetProgramFolder();
  if (CurrentHost().ShellOpen(NewsGroupListFileName, folder) != TShellResult::Opened)
    ShowError(ecGeneral, folder + NewsGroupListFileName);
}

void ImportNewsGroups(TNewsGroupSelection& selection, bool fromForteAgent) {
  THost& host = CurrentHost();
  if (!fromForteAgent) {
    ChooseAndLoad(selection, 0, "");
    return;
  }
  if (const auto programFiles = host.EnvironmentVariable("ProgramFiles")) {
    const std::string path = *programFiles + "/Agent/Data/groups.dat";
    if (programFiles->size() <= ProgramFilesLimit && FileExists(path))
      selection.LoadNewsGroupFile(path);
    else
      host.ShowMessage(TMessageKind::Error, AgentListMissing);
    return;
  }
  if (const std::string path = WineAgentList(); !path.empty()) {
    selection.LoadNewsGroupFile(path);
    return;
  }
  if (host.ShowMessage(TMessageKind::Confirmation, AgentListQuestion) == TMessageResult::Yes)
    ChooseAndLoad(selection, 1, "groups.dat");
}
