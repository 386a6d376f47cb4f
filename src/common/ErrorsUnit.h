// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The error catalogue: every failure the program reports names one of these messages.
#include <cstdint>
#include <string>
#include <string_view>

enum TErrorCode : std::uint8_t {
  ecGeneral,
  ecLoadNewsgroupList,
  ecSaveNewsgroupList,
  ecHelpFile,
  ecNoPostingPolicy,
  ecCreatePostingPolicy,
  ecOpenForReading,
  ecOpenForWriting,
  ecOpenMedia,
  ecCreateNfoTemplate,
  ecCreateSfvTemplate,
  ecTrackFileEmpty,
  ecTrackKindMismatch,
  ecTrackStreamUnreadable,
};

std::string_view ErrorMessage(TErrorCode code);

// Shows the catalogue's message in a modal error box through the installed host.
void ShowError(TErrorCode code);
// The same for a failure of one file, which the message names.
void ShowError(TErrorCode code, const std::string& path);
