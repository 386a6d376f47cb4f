// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ErrorsUnit.h"

#include "common/Host.h"

#include <array>
#include <string>

namespace {
constexpr std::array<std::string_view, 16> Catalogue = {
    "General error. Sorry, no more information is available",
    "Can't load the newsgroup listing",
    "Can't save the newsgroup listing",
    "Can't display the Help file.",
    "Can't find your Posting Policy file\r\rTo create one, from the main menu select\r"
    "Tools -> Edit Posting Policy",
    "Can't create your Posting Policy file",
    "Can't open file for reading",
    "Can't open file for writing",
    "Can't open media for playing",
    "Can't create the NFO template file",
    "Can't create the SFV template file",
    "The file is empty: it holds no audio",
    "The file is not the kind of audio file its name says",
    "The file's audio stream cannot be read: it is damaged or cut short",
};
} // namespace

std::string_view ErrorMessage(TErrorCode code) {
  return code < Catalogue.size() ? Catalogue[code] : Catalogue[ecGeneral];
}

TProblem ErrorProblem(TErrorCode code, const std::string& path) {
  return {std::string(ErrorMessage(code)), path};
}

void ShowError(TErrorCode code) {
  CurrentHost().ShowMessage(TMessageKind::Error, std::string(ErrorMessage(code)));
}

void ShowError(TErrorCode code, const std::string& path) {
  CurrentHost().ShowFileMessage(TMessageKind::Error, std::string(ErrorMessage(code)), path);
}
