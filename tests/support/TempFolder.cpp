// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <linux/capability.h>
#include <sstream>
#include <stdexcept>
#include <sys/syscall.h>
#include <unistd.h>

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

// Root's power to write where the permissions forbid it, in this thread's effective set.
bool SetPermissionOverride(bool on) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
  if (::syscall(SYS_capget, &header, data) != 0)
    return false;
  for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
    const unsigned bit = 1u << (capability % 32);
    auto& effective = data[capability / 32].effective;
    effective = on ? effective | (data[capability / 32].permitted & bit) : effective & ~bit;
  }
  return ::syscall(SYS_capset, &header, data) == 0;
}
