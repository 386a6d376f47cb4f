// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening one of the program's text files in the user's editor.
#include "common/Problem.h"

#include <functional>
#include <optional>
#include <string>

// Opens the file (a bare name in the program folder) with the desktop's program for it.
// When it does not exist, writeDefault creates it at its full path and the open is tried
// once more; returns writeDefault's problem, or the general error naming the file to edit
// by hand when no program opens it.
std::optional<TProblem> OpenProgramFile(
    const std::string& fileName,
    const std::function<std::optional<TProblem>(const std::string& path)>& writeDefault);
