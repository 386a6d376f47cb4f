// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ShellOpenUnit.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/Host.h"

std::optional<TProblem> OpenProgramFile(
    const std::string& fileName,
    const std::function<std::optional<TProblem>(const std::string& path)>& writeDefault) {
  const std::string folder = GetProgramFolder();
  // Two attempts: if writing the default failed, the file is still missing and the
  // command ends instead of trying without end.
  std::optional<TProblem> written;
  for (int attempt = 0; attempt < 2; ++attempt) {
    switch (CurrentHost().ShellOpen(fileName, folder)) {
    case TShellResult::Opened:
      return written;
    case TShellResult::FileNotFound:
      if (attempt == 0)
        written = writeDefault(folder + fileName);
      break;
    case TShellResult::Failed:
      // No program opens it: the path tells the user which file to edit by hand.
      return ErrorProblem(ecGeneral, folder + fileName);
    }
  }
  return written;
}
