#include "support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TTempFolder::TTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tamberlon-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data()))
    throw std::runtime_error("cannot create a temporary folder");
  Folder = pattern + "/";
}

TTempFolder::~TTempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(Folder, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(Folder, ignored);
}

std::string TTempFolder::Write(const std::string& name, std::string_view bytes) const {
  const std::string path = Folder + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}
