// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Tools menu's newsgroup commands, as the window asks them: the input box, the
// import dialog and the Forte Agent question. The decisions (a valid name, where the
// Agent's list is) are the core's.
#include "common/Host.h"
#include "newsgroups/NewsGroupSelectionUnit.h"

#include <cstddef>
#include <string>

inline constexpr const char* AddNewsGroupCaption = "Enter Newsgroup to Add";
inline constexpr const char* AddNewsGroupPrompt = "Newsgroup name (ie. alt.binaries.sounds.mp3";
inline constexpr const char* AddNewsGroupPreset = "alt.binaries.";
inline constexpr int NewsGroupNameLimit = 255;
inline constexpr const char* AgentListMissing = "Cannot find the Agent Newsgroup list";
inline constexpr const char* AgentListQuestion =
    "Cannot locate your Agent GROUPS.DAT file.\n\rDo you want to try to locate this file "
    "yourself?";

// The import dialog, preset to a filter entry (0 text files, 1 Forte Agent) and a name.
TOpenDialogRequest ImportDialogRequest(std::size_t filterIndex, const std::string& fileName);

// Asks for a name and adds it, telling why when it is invalid or already known.
void AddNewsGroup(TNewsGroupSelection& selection);
// Opens "groups.txt" in the user's editor; a failure is not reported.
void EditNewsGroupList();
// Replaces the list from a chosen text file, or from Forte Agent's group file.
void ImportNewsGroups(TNewsGroupSelection& selection, bool fromForteAgent);
