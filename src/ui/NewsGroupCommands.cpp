// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/NewsGroupCommands.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/TextUnit.h"
#include "generate/AlbumFieldsUnit.h"

#include <array>

namespace {
// A loaded list takes the place of the whole list: asked first when that holds groups, and
// told after.
void LoadReplacing(TNewsGroupSelection& selection, const std::string& path) {
  THost& host = CurrentHost();
  const auto groups = [](std::size_t count) {
    return std::to_string(count) + (count == 1 ? " newsgroup" : " newsgroups");
  };
  const std::size_t known = selection.KnownGroups.Groups().size();
  if (known > 0 &&
      host.ShowMessage(TMessageKind::Confirmation,
                       "Your list of " + groups(known) + " will be replaced by " +
                           FileNamePart(path) + ".\nReplace it?") != TMessageResult::Yes)
    return;
  if (const auto problem = selection.LoadNewsGroupFile(path))
    ShowProblem(*problem);
  else
    host.ShowMessage(TMessageKind::Information, groups(selection.KnownGroups.Groups().size()) +
                                                    " loaded from " + FileNamePart(path));
}

void ChooseAndLoad(TNewsGroupSelection& selection, std::size_t filterIndex,
                   const std::string& fileName) {
  if (const auto path = CurrentHost().OpenFileDialog(ImportDialogRequest(filterIndex, fileName)))
    LoadReplacing(selection, *path);
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
  if (const auto refused = selection.AddEnteredGroup(*entered))
    host.ShowMessage(TMessageKind::Information, *refused);
}

void EditNewsGroupList() {
  // Without a program to open it, the message names the file to edit by hand.
  const std::string folder = GetProgramFolder();
  if (CurrentHost().ShellOpen(NewsGroupListFileName, folder) != TShellResult::Opened)
    ShowError(ecGeneral, folder + NewsGroupListFileName);
}

void ImportNewsGroups(TNewsGroupSelection& selection, bool fromForteAgent) {
  if (!fromForteAgent) {
    ChooseAndLoad(selection, 0, "");
    return;
  }
  THost& host = CurrentHost();
  switch (const TAgentList list = LocateForteAgentList(); list.State) {
  case TAgentList::Found:
    LoadReplacing(selection, list.Path);
    return;
  case TAgentList::Missing:
    host.ShowMessage(TMessageKind::Error, AgentListMissing);
    return;
  case TAgentList::NotFound:
    if (host.ShowMessage(TMessageKind::Confirmation, AgentListQuestion) == TMessageResult::Yes)
      ChooseAndLoad(selection, 1, "groups.dat");
    return;
  }
}
