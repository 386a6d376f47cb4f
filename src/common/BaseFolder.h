// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A folder held open, and the names below it opened by the kernel's own rule: no step
// through a symbolic link (the last one included) and none above the folder, whatever the
// name says and whatever took a folder's place meanwhile. What a downloaded file directs
// the program to change (a PAR2 repair) is reached through it, never by a path, so that
// comparing strings is never what keeps a write inside.
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// An open descriptor, closed with it.
class TDescriptor {
public:
  TDescriptor() = default;
  explicit TDescriptor(int descriptor) : Value(descriptor) {}
  TDescriptor(TDescriptor&& other) noexcept;
  TDescriptor& operator=(TDescriptor&& other) noexcept;
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  ~TDescriptor();
  int Get() const { return Value; }
  int Release(); // the caller closes it now
  explicit operator bool() const { return Value >= 0; }

private:
  int Value = -1;
};

// How a name is resolved: openat2 with RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS, or (where
// the kernel has no openat2) one step at a time with O_NOFOLLOW, no ".." step at all.
enum class TBelowMethod { Openat2, StepByStep };

class TBaseFolder {
public:
  // The folder at path; its own path is followed as given (the user chose it).
  static std::optional<TBaseFolder> Open(const std::string& path);

  // As given, with its trailing "/" (empty for the working folder): for messages.
  const std::string& Path() const { return FolderPath; }

  // A name below the folder opened with open's flags and mode; an invalid descriptor and
  // errno when refused: ELOOP for a link on the way or at the end, EXDEV for a name that
  // leads above the folder (absolute, or a ".." too many).
  TDescriptor OpenBelow(std::string_view name, int flags, mode_t mode = 0) const;

  // The folder holding name, opened below, and the name's last step: what the *at calls
  // (renameat, linkat, unlinkat, fstatat) take. Nothing (errno as OpenBelow's) when that
  // folder cannot be opened or the last step is no name ("", ".", "..").
  struct TParent {
    TDescriptor Folder;
    std::string Leaf;
  };
  std::optional<TParent> ParentOf(std::string_view name) const;

  // The folders that a name lies in, made where missing (as a set made elsewhere names them),
  // each step below the folder and never through a link; those made are added to made, the
  // deepest last, for RemoveFolders. False (errno as OpenBelow's) when a step cannot be.
  bool MakeFoldersOf(std::string_view name, std::vector<std::string>& made) const;
  // Removes the folders made, deepest first, where they are still empty.
  void RemoveFolders(const std::vector<std::string>& made) const;

  TBelowMethod Method = TBelowMethod::Openat2; // tests take the other way too

private:
  TBaseFolder(TDescriptor folder, std::string path);
  TDescriptor StepByStep(std::string_view name, int flags, mode_t mode) const;
  TDescriptor Folder;
  std::string FolderPath;
};
