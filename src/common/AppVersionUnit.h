#pragma once
// The program's own folder and the texts of its version information.
#include <string>
#include <string_view>

// One string value of the version information of the given file; the running
// program's own file carries it, every other file gives "".
std::string GetVersionInfoValue(const std::string& fileName, const std::string& valueName);

// The folder of the running program file, with a trailing "/".
std::string GetProgramFolder();
std::string GetProgramFile();

std::string GetProductName();
std::string GetFileVersion();
std::string GetProductURL();

// Drops the third component of a dotted version: 1.0.3.469 becomes 1.0.469.
std::string ShortenVersion(std::string_view version);
