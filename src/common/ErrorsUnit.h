// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The error catalogue: the messages of the common failures (a file that cannot be opened
// or written, a template or list that cannot be made, a track that does not read), each
// said in the same words wherever it happens. Other problems carry their own text.
#include "common/Problem.h"

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
// The catalogue's message for a failure of the named file or files, as a result.
TProblem ErrorProblem(TErrorCode code, const std::string& path);

// Shows the catalogue's message in a modal error box through the installed host.
void ShowError(TErrorCode code);
// The same for a failure of one file, which the message names.
void ShowError(TErrorCode code, const std::string& path);
