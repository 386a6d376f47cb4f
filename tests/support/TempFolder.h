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
