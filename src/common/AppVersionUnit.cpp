#include "common/AppVersionUnit.h"

#include "BuildInfo.h"
#include "platform/Host.h"

#include <array>
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
    {"ProductURL", "https://tamberlon.example.org/"},
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
  const std::string file = GetProgramFile();
  return file.substr(0, file.rfind('/') + 1);
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
