// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/AppVersionUnit.h"

#include "BuildInfo.h"
#include "common/Host.h"

#include <array>
#include <filesystem>
#include <unistd.h>
#include <utility>

namespace {
struct TVersionValue {
  std::string_view Name;
  std::string_view Text;
};

// OriginalFilename is the program file's own name and is answered separately.
constexpr std::array<TVersionValue, 10> VersionValues = {{
    {"ProductName", "Tamberlon"},
    {"FileVersion", TAMBERLON_FILE_VERSION},
    {"ProductVersion", "1.0"},
    {"FileDescription", "Create .NFO files easily with this NFO generator"},
    {"InternalName", "Tamberlon"},
    {"ProductURL", TAMBERLON_PRODUCT_URL},
    {"LegalCopyright", "Copyright (C) 2026 The Tamberlon developers"},
    {"CompanyName", "The Tamberlon developers"},
    {"Comments", ""},
    {"LegalTrademarks", ""},
}};

std::string FileNameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}
} // namespace

std::string GetProgramFile() {
  return CurrentHost().ProgramFile();
}

std::string GetProgramFolder() {
  return CurrentHost().ProgramFolder();
}

bool FolderIsWritable(const std::string& folder) {
  return ::access(folder.c_str(), W_OK) == 0;
}

std::string ChooseProgramFolder(const std::string& programFile,
                                const std::optional<std::string>& xdgConfigHome,
                                const std::optional<std::string>& home,
                                bool (*isWritable)(const std::string& folder)) {
  namespace fs = std::filesystem;
  const std::string programFolder = programFile.substr(0, programFile.rfind('/') + 1);
  if (isWritable(programFolder))
    return programFolder;
  // Only an absolute folder will do: a relative one would move with the current folder.
  const auto absolute = [](const std::optional<std::string>& path) {
    return path && path->starts_with('/');
  };
  if (!absolute(xdgConfigHome) && !absolute(home))
    return {};
  const std::string base = absolute(xdgConfigHome) ? *xdgConfigHome : *home + "/.config";
  const std::string folder = base + "/tamberlon/";
  std::error_code error;
  fs::create_directories(folder, error);
  const fs::path installed = fs::path(programFolder) / ".." / "share" / "tamberlon";
  // Each step takes an error code: a folder that cannot be read or written seeds nothing.
  for (fs::directory_iterator entry(installed, error), end; !error && entry != end;
       entry.increment(error)) {
    const fs::path target = fs::path(folder) / entry->path().filename();
    std::error_code copied;
    if (!fs::exists(target, copied) && !copied)
      fs::copy(entry->path(), target, fs::copy_options::recursive, copied);
  }
  return folder;
}

std::string GetVersionInfoValue(const std::string& fileName, const std::string& valueName) {
  const std::string programFile = GetProgramFile();
  if (programFile.empty() || fileName != programFile)
    return {};
  if (valueName == "OriginalFilename")
    return FileNameOf(programFile);
  for (const auto& value : VersionValues)
    if (value.Name == valueName)
      return std::string(value.Text);
  return {};
}

std::string GetProductName() {
  return GetVersionInfoValue(GetProgramFile(), "ProductName");
}

std::string GetProductURL() {
  return GetVersionInfoValue(GetProgramFile(), "ProductURL");
}

bool HasProductURL() {
  return !std::string_view(TAMBERLON_PRODUCT_URL).empty();
}

std::string GetFileVersion() {
  return ShortenVersion(GetVersionInfoValue(GetProgramFile(), "FileVersion"));
}

std::string ShortenVersion(std::string_view version) {
  // The second and third dots are each searched within the 99 characters after the previous one.
  constexpr std::size_t SearchWidth = 99;
  auto nextDot = [&](std::size_t after) -> std::size_t {
    const std::size_t found = version.find('.', after + 1);
    return (found != std::string_view::npos && found - after <= SearchWidth)
               ? found
               : std::string_view::npos;
  };
  const std::size_t first = version.find('.');
  if (first == std::string_view::npos)
    return std::string(version);
  const std::size_t second = nextDot(first);
  const std::size_t third = second == std::string_view::npos ? second : nextDot(second);
  if (third == std::string_view::npos)
    return std::string(version);
  std::string result(version);
  result.erase(second, third - second);
  return result;
}
