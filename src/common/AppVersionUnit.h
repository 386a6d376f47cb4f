// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own folder and the texts of its version information.
#include <optional>
#include <string>
#include <string_view>

// One string value of the version information of the given file; the running
// program's own file carries it, every other file gives "".
std::string GetVersionInfoValue(const std::string& fileName, const std::string& valueName);

// The folder of the program's own files (preferences, lists, templates, newsgroups,
// help), with a trailing "/".
std::string GetProgramFolder();
std::string GetProgramFile();

// The program's license in one line, as --version and the about box show it.
inline constexpr const char* LicenseLine = "License: GNU GPL version 3 or later";

std::string GetProductName();
std::string GetFileVersion();
std::string GetProductURL();
// The build names the program's web page (a packager's TAMBERLON_PRODUCT_URL).
bool HasProductURL();

// Drops the third component of a dotted version: 1.0.3.469 becomes 1.0.469.
std::string ShortenVersion(std::string_view version);

// The program folder: the program file's folder when it is writable (a portable copy);
// otherwise (an installed program) the per-user folder $XDG_CONFIG_HOME/tamberlon/ or
// ~/.config/tamberlon/, created and seeded with the installed data files it lacks from
// the program file's ../share/tamberlon/. Empty when neither variable names an absolute
// folder.
std::string ChooseProgramFolder(const std::string& programFile,
                                const std::optional<std::string>& xdgConfigHome,
                                const std::optional<std::string>& home,
                                bool (*isWritable)(const std::string& folder));
bool FolderIsWritable(const std::string& folder);
