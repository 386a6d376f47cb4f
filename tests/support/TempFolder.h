// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A fresh folder for one test, removed with everything in it afterwards.
#include <string>
#include <string_view>

class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  // The folder with a trailing "/".
  const std::string& Path() const { return Folder; }
  // Writes a file of the given bytes and returns its full path.
  std::string Write(const std::string& name, std::string_view bytes) const;

private:
  std::string Folder;
};

std::string ReadWholeFile(const std::string& path);

// Root's power to read and write where the permissions forbid it, set aside (false) or
// taken back (true) for the calling thread, so that a test run as root meets a locked
// folder as a user does. False where there was nothing to set aside.
bool SetPermissionOverride(bool on);
